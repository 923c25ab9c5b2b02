#include "support/folder_link.h"

#include "platform/win32/windows_api.h"

namespace kest::testing {

Expected<void> make_folder_link(const std::string& link, const std::string& target) {
    if (!CreateSymbolicLinkW(
            platform::win32::wide(link).c_str(), platform::win32::wide(target).c_str(),
            SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        return platform::win32::last_error();
    return {};
}

} // namespace kest::testing
