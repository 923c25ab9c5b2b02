#include "support/registry_fixture.h"

#include "platform/win32/windows_api.h"

namespace kest::testing {
namespace {

HKEY root_key(platform::RegistryRoot root) {
    return root == platform::RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

} // namespace

RegistryFixture::RegistryFixture(platform::RegistryRoot root, std::string path, std::uint32_t view)
    : root_(root), path_(std::move(path)), view_(view) {
    HKEY key = nullptr;
    ok_ = RegCreateKeyExW(root_key(root_), platform::win32::wide(path_).c_str(), 0, nullptr, 0,
                          KEY_ALL_ACCESS | view_, nullptr, &key, nullptr) == ERROR_SUCCESS;
    if (ok_)
        RegCloseKey(key);
}

RegistryFixture::~RegistryFixture() {
    if (ok_)
        RegDeleteKeyExW(root_key(root_), platform::win32::wide(path_).c_str(), view_, 0);
}

bool RegistryFixture::set_string(const std::string& name, const std::string& value,
                                 std::uint32_t type) {
    std::wstring data = platform::win32::wide(value);
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_key(root_), platform::win32::wide(path_).c_str(), 0,
                      KEY_SET_VALUE | view_, &key) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExW(key, platform::win32::wide(name).c_str(), 0, type,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool RegistryFixture::set_dword(const std::string& name, std::uint32_t value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_key(root_), platform::win32::wide(path_).c_str(), 0,
                      KEY_SET_VALUE | view_, &key) != ERROR_SUCCESS)
        return false;
    DWORD data = value;
    LONG r = RegSetValueExW(key, platform::win32::wide(name).c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&data), sizeof data);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

} // namespace kest::testing
