#include "support/shell_link_file.h"

#include "platform/win32/windows_api.h"
// After windows.h, which they need.
#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>

namespace kest::testing {

Expected<void> write_shell_link(const std::string& lnk_path, const std::string& target,
                                const std::string& arguments) {
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    std::string failed;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        failed = "CoCreateInstance";
    else if (FAILED(link->SetPath(platform::win32::wide(target).c_str())))
        failed = "SetPath";
    else if (FAILED(link->SetArguments(platform::win32::wide(arguments).c_str())))
        failed = "SetArguments";
    else if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
        failed = "QueryInterface";
    else if (FAILED(file->Save(platform::win32::wide(lnk_path).c_str(), TRUE)))
        failed = "Save";
    if (file)
        file->Release();
    if (link)
        link->Release();
    if (init == S_OK || init == S_FALSE)
        CoUninitialize();
    if (!failed.empty())
        return unexpected("shell link " + failed + " failed for " + lnk_path);
    return {};
}

} // namespace kest::testing
