#pragma once
// The process-list calls that the connection reset and the orphan clean-up walk with. A
// default-constructed value is the running system; tests replace single calls.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/process_image.h"
#include "platform/process_snapshot.h"
#include "util/log.h"

namespace kest::vpn {

struct ProcessCalls {
    std::function<std::vector<platform::SnapshotProcess>()> snapshot = platform::process_snapshot;
    std::function<std::string(std::uint32_t, platform::ImagePathBuffer&)> image_path =
        platform::process_image_path;
    std::uint32_t self_pid = platform::current_process_id();
    // The separator that ends a folder prefix: the one the system's paths use.
    char separator = platform::path_separator();
};

using LogSink = std::function<void(std::string_view)>;

inline void vpn_log(std::string_view text) {
    log_line(LogTag::Vpn, text);
}

} // namespace kest::vpn
