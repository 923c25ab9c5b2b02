#include "support/stalled_log.h"

#include <chrono>
#include <string>

#include "util/log.h"

namespace kest::testing {
namespace {

// Far more than any pipe holds.
constexpr std::size_t kLongLine = 8u << 20;

} // namespace

StalledLog::StalledLog() {
    filler_ = std::thread([] { log_line(LogTag::Core, std::string(kLongLine, 'x')); });
    // Bytes in the pipe: the long line is being written and holds the log.
    while (pipe_.waiting() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

StalledLog::~StalledLog() {
    release();
    pipe_.give_back();
    drain_.join();
}

void StalledLog::release() {
    if (drain_.joinable())
        return;
    drain_ = std::thread([this] {
        char buf[65536];
        while (pipe_.read(buf, sizeof buf) > 0) {
        }
    });
    filler_.join();
}

} // namespace kest::testing
