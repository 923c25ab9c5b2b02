#include "rpc/request_loop.h"

#include "base/detached_thread.h"
#include "platform/stdio.h"
#include "rpc/dispatcher.h"
#include "rpc/output.h"
#include "rpc/texts.h"
#include "text/utf8.h"
#include "util/log.h"
#include <cstring>
#include <memory>

namespace kest::rpc {
namespace {

constexpr std::size_t kReadBufferSize = 1 << 20;

// Reads standard input through one buffer and hands out whole lines (the last one may lack
// its "\n").
class LineReader {
public:
    // Not zero-filled: pages the reads never reach stay out of the working set.
    LineReader() : buf_(new char[kReadBufferSize]) {}

    enum class Status { Line, End, Error };

    Status next(std::string& line) {
        line.clear();
        for (;;) {
            if (start_ < end_) {
                const char* from = buf_.get() + start_;
                const void* nl = std::memchr(from, '\n', end_ - start_);
                if (nl) {
                    std::size_t n = static_cast<const char*>(nl) - from + 1;
                    line.append(from, n);
                    start_ += n;
                    return Status::Line;
                }
                line.append(from, end_ - start_);
                start_ = end_ = 0;
            }
            auto r = platform::read_stdin(buf_.get(), kReadBufferSize);
            if (r.status == platform::ReadStatus::Error)
                return Status::Error;
            if (r.status == platform::ReadStatus::End)
                return line.empty() ? Status::End : Status::Line;
            start_ = 0;
            end_ = r.bytes;
        }
    }

private:
    std::unique_ptr<char[]> buf_;
    std::size_t start_ = 0;
    std::size_t end_ = 0;
};

} // namespace

namespace {

// The answer to a request whose handling faulted; the fault's own description is in neither line.
void answer_fault(AppState& state, std::uint64_t id, const std::string& method) {
    log_line(LogTag::Rpc, std::string(kPanicIn) + method);
    send_response(state, id, nullptr, std::string(kInternalErrorIn) + method);
}

} // namespace

void request_thread(Request request, std::shared_ptr<AppState> state) {
    const std::string method = request.method;
    const std::uint64_t id = request.id;
    try {
        DispatchResult outcome = dispatch(state, std::move(request));
        if (auto* value = std::get_if<Json>(&outcome))
            send_response(*state, id, *value, "");
    } catch (...) {
        answer_fault(*state, id, method);
    }
}

namespace {

// A request whose thread the system refuses is answered like one whose handler faulted.
void start_request_thread(const std::shared_ptr<AppState>& state, Request request) {
    const std::uint64_t id = request.id;
    const std::string method = request.method;
    if (!start_detached(request_thread, std::move(request), state))
        answer_fault(*state, id, method);
}

} // namespace

void run_request_loop(const std::shared_ptr<AppState>& state) {
    LineReader reader;
    std::string line;
    for (;;) {
        if (reader.next(line) != LineReader::Status::Line)
            break;
        if (!text::is_valid_utf8(line))
            break;
        std::string_view text = clean_request_line(line);
        if (!text.empty()) {
            auto request = parse_request(text);
            if (!request) {
                log_line(LogTag::Rpc, std::string(kUnparsedRequest) + request.error());
            } else {
                request->arrival = state->take_arrival_number();
                start_request_thread(state, std::move(*request));
            }
        }
        if (state->stop_requested.load())
            break;
    }
}

} // namespace kest::rpc
