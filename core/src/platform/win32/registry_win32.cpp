#include "platform/registry.h"

#include "platform/win32/handles.h"

namespace kest::platform {
namespace {

class Win32RegistryKey final : public RegistryKey {
public:
    explicit Win32RegistryKey(HKEY key) : key_(key) {}
    HKEY get() const { return key_.get(); }

private:
    win32::UniqueRegistryKey key_;
};

HKEY handle_of(const RegistryKey& key) {
    return static_cast<const Win32RegistryKey&>(key).get();
}

} // namespace

std::unique_ptr<RegistryKey> open_registry_key(RegistryRoot root, std::string_view path,
                                               std::uint32_t view) {
    HKEY base = root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY key = nullptr;
    if (RegOpenKeyExW(base, win32::wide(path).c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<Win32RegistryKey>(key);
}

std::vector<std::string> registry_subkey_names(const RegistryKey& key) {
    std::vector<std::string> names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(handle_of(key), index, name, &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(win32::narrow(name, wcsnlen(name, length)));
    }
    return names;
}

std::optional<RegistryValue> read_registry_value(const RegistryKey& key, std::string_view name) {
    std::wstring wide_name = win32::wide(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(handle_of(key), wide_name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    RegistryValue value;
    value.type = type;
    value.bytes.assign(size, 0);
    DWORD second_size = size;
    if (RegQueryValueExW(handle_of(key), wide_name.c_str(), nullptr, &type,
                         size ? value.bytes.data() : nullptr, &second_size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

} // namespace kest::platform
