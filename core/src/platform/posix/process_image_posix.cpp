#include "platform/process_image.h"

#include <unistd.h>

namespace kest::platform {

std::string process_image_path(std::uint32_t pid, ImagePathBuffer& buffer) {
    // The UTF-16 buffer doubles as byte scratch space: the same 2 KiB bound as on Windows.
    char* bytes = reinterpret_cast<char*>(buffer.units);
    const std::size_t size = sizeof buffer.units;
    std::string link = "/proc/" + std::to_string(pid) + "/exe";
    ssize_t n = ::readlink(link.c_str(), bytes, size);
    if (n <= 0 || static_cast<std::size_t>(n) >= size)
        return "";
    return std::string(bytes, static_cast<std::size_t>(n));
}

std::uint32_t current_process_id() {
    return static_cast<std::uint32_t>(::getpid());
}

} // namespace kest::platform
