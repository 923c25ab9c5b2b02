#pragma once
// The full executable path of another process, for scans over the whole process list.
#include <cstdint>
#include <string>

namespace kest::platform {

// Scratch space the caller keeps and reuses across many processes.
struct ImagePathBuffer {
    static constexpr std::size_t kUnits = 1024;
    char16_t units[kUnits];
};

// "" when the process does not exist, cannot be queried, or its path does not fit the buffer.
std::string process_image_path(std::uint32_t pid, ImagePathBuffer& buffer);

std::uint32_t current_process_id();

} // namespace kest::platform
