#include "platform/shell_link.h"

#include "platform/unique_handle.h"
#include "platform/win32/windows_api.h"
// After windows.h, which they need.
#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>

namespace kest::platform {
namespace {

template <class Interface> struct ComTraits {
    using type = Interface*;
    static Interface* invalid() noexcept { return nullptr; }
    static void close(Interface* p) noexcept { p->Release(); }
};
template <class Interface> using ComPtr = UniqueHandle<ComTraits<Interface>>;

} // namespace

ShellLinkApartment::ShellLinkApartment() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    initialised_ = hr == S_OK || hr == S_FALSE;
}

ShellLinkApartment::~ShellLinkApartment() {
    if (initialised_)
        CoUninitialize();
}

std::optional<ShellLinkTarget> read_shell_link(const std::string& lnk_path) {
    IShellLinkW* raw_link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&raw_link))) ||
        !raw_link)
        return std::nullopt;
    ComPtr<IShellLinkW> link(raw_link);
    IPersistFile* raw_file = nullptr;
    if (FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&raw_file))) ||
        !raw_file)
        return std::nullopt;
    ComPtr<IPersistFile> file(raw_file);
    if (FAILED(file.get()->Load(win32::wide(lnk_path).c_str(), STGM_READ)))
        return std::nullopt;

    // The two calls' answers are not consulted: what they leave in the zeroed buffers counts.
    wchar_t path[kShellLinkPathUnits] = {};
    WIN32_FIND_DATAW find_data = {};
    link.get()->GetPath(path, static_cast<int>(kShellLinkPathUnits), &find_data, 0);
    wchar_t arguments[kShellLinkArgumentUnits] = {};
    link.get()->GetArguments(arguments, static_cast<int>(kShellLinkArgumentUnits));
    file.reset(); // the file interface goes first, then the link
    link.reset();
    return ShellLinkTarget{win32::narrow(path, kShellLinkPathUnits),
                           win32::narrow(arguments, kShellLinkArgumentUnits)};
}

} // namespace kest::platform
