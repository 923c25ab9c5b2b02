#include "vpn/host/folder_prefix.h"

#include "text/lowercase.h"
#include "text/path_text.h"

namespace kest::vpn {

std::string folder_prefix(std::string_view folder, char sep) {
    while (text::ends_with_separator(folder))
        folder.remove_suffix(1);
    std::string prefix = text::to_lower(folder);
    prefix.push_back(sep);
    return prefix;
}

} // namespace kest::vpn
