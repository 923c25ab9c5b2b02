#pragma once
// The icon the shell shows for a file, as plain pixels.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kest::platform {

struct ShellIcon {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // R, G, B, A per pixel, rows top to bottom; alpha exactly as the icon's colour bitmap has it.
    std::vector<std::uint8_t> rgba;
    // One byte per pixel, same order: 1 where the icon's AND mask is set (the pixel is
    // transparent), 0 where it is clear. Empty when the icon has no readable mask.
    std::vector<std::uint8_t> mask;
};

// The system's large icon for the file; none when the file has none, has no colour bitmap or
// its pixels cannot be read.
std::optional<ShellIcon> large_shell_icon(std::string_view path);

} // namespace kest::platform
