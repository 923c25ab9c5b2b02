#pragma once
// An application's icon as the text the front end shows: a PNG image in a "data:" URL.
#include <string>
#include <string_view>

#include "platform/shell_icon.h"

namespace kest::apps {

inline constexpr std::string_view kIconUrlPrefix = "data:image/png;base64,";

// An icon whose colour bitmap has alpha 0 in every pixel carries no opacity of its own (older
// icons without an alpha channel); its AND mask says which pixels show. Such an icon gets
// alpha 255 where the mask is clear and 0 where it is set; any other icon is left as it is.
void take_opacity_from_mask(platform::ShellIcon& icon);

// "data:image/png;base64," and the Base64 text of the icon's PNG file; "" when it cannot be
// encoded.
std::string icon_data_url(platform::ShellIcon icon);

// The icon text of an executable: its large shell icon as a data URL, or "" when it has none.
std::string icon_text_of(std::string_view exe_path);

} // namespace kest::apps
