#include "apps/icon_text.h"

#include <utility>

#include "apps/png_writer.h"
#include "text/base64.h"

namespace kest::apps {

void take_opacity_from_mask(platform::ShellIcon& icon) {
    std::size_t pixels = icon.rgba.size() / 4;
    if (icon.mask.size() != pixels || pixels == 0)
        return;
    for (std::size_t i = 0; i < pixels; ++i)
        if (icon.rgba[i * 4 + 3] != 0)
            return;
    for (std::size_t i = 0; i < pixels; ++i)
        icon.rgba[i * 4 + 3] = icon.mask[i] ? 0 : 255;
}

std::string icon_data_url(platform::ShellIcon icon) {
    take_opacity_from_mask(icon);
    auto png = encode_png_rgba(icon.width, icon.height, icon.rgba);
    if (!png)
        return "";
    std::string out(kIconUrlPrefix);
    out += text::base64_encode(*png);
    return out;
}

std::string icon_text_of(std::string_view exe_path) {
    auto icon = platform::large_shell_icon(exe_path);
    if (!icon)
        return "";
    return icon_data_url(std::move(*icon));
}

} // namespace kest::apps
