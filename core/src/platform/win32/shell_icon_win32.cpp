#include "platform/shell_icon.h"

#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"

#include <shellapi.h>

#include <string>
#include <utility>

#include "text/utf16.h"

namespace kest::platform {
namespace {

using win32::UniqueGdiBitmap;
using win32::UniqueIcon;
using win32::UniqueMemoryDc;

// The bitmap's pixels as 32-bit B, G, R, A, rows top to bottom; none when GetDIBits fails.
std::optional<std::vector<std::uint8_t>> read_bgra(HDC dc, HBITMAP bitmap, std::uint32_t width,
                                                   std::uint32_t height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height); // negative: top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> pixels(std::size_t(width) * height * 4, 0);
    if (GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) == 0)
        return std::nullopt;
    return pixels;
}

} // namespace

std::optional<ShellIcon> large_shell_icon(std::string_view path) {
    std::u16string wide_path = text::to_wide_nul(path);
    SHFILEINFOW file_info{};
    DWORD_PTR found = SHGetFileInfoW(reinterpret_cast<LPCWSTR>(wide_path.c_str()), 0, &file_info,
                                     sizeof file_info, SHGFI_ICON);
    if (found == 0 || !file_info.hIcon)
        return std::nullopt;
    UniqueIcon icon(file_info.hIcon);

    ICONINFO parts{};
    if (!GetIconInfo(icon.get(), &parts))
        return std::nullopt;
    UniqueGdiBitmap mask(parts.hbmMask);
    UniqueGdiBitmap colour(parts.hbmColor);
    if (!colour)
        return std::nullopt;

    BITMAP shape{};
    GetObjectW(colour.get(), sizeof shape, &shape);
    if (shape.bmWidth <= 0 || shape.bmHeight <= 0)
        return std::nullopt;
    ShellIcon out;
    out.width = static_cast<std::uint32_t>(shape.bmWidth);
    out.height = static_cast<std::uint32_t>(shape.bmHeight);

    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc)
        return std::nullopt;
    auto pixels = read_bgra(dc.get(), colour.get(), out.width, out.height);
    if (!pixels)
        return std::nullopt;
    for (std::size_t i = 0; i + 3 < pixels->size(); i += 4)
        std::swap((*pixels)[i], (*pixels)[i + 2]);
    out.rgba = std::move(*pixels);

    // The AND mask read as 32-bit pixels: its set bits come out white, its clear bits black.
    if (mask) {
        if (auto mask_pixels = read_bgra(dc.get(), mask.get(), out.width, out.height)) {
            out.mask.resize(std::size_t(out.width) * out.height);
            for (std::size_t i = 0; i < out.mask.size(); ++i) {
                const std::uint8_t* p = mask_pixels->data() + i * 4;
                out.mask[i] = (p[0] | p[1] | p[2]) != 0 ? 1 : 0;
            }
        }
    }
    return out;
}

} // namespace kest::platform
