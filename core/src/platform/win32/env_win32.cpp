#include "platform/env.h"

#include <algorithm>
#include <vector>

#include "text/utf16.h"

#include "platform/win32/windows_api.h"

namespace kest::platform {

namespace {

// The value's UTF-16 units, or none when the variable is not set.
std::optional<std::wstring> get_env_units(std::string_view name) {
    std::wstring wname = win32::wide(name);
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
    if (needed == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                        : std::optional<std::wstring>(L"");
    std::vector<wchar_t> buf(needed);
    DWORD n = GetEnvironmentVariableW(wname.c_str(), buf.data(), needed);
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return std::nullopt;
    return std::wstring(buf.data(), std::min<DWORD>(n, needed));
}

} // namespace

std::optional<std::string> get_env(std::string_view name) {
    auto units = get_env_units(name);
    if (!units)
        return std::nullopt;
    return win32::narrow(*units);
}

std::optional<std::string> get_env_unicode(std::string_view name) {
    auto units = get_env_units(name);
    if (!units ||
        !text::is_valid_utf16(reinterpret_cast<const char16_t*>(units->data()), units->size()))
        return std::nullopt;
    return win32::narrow(*units);
}

char path_separator() {
    return '\\';
}

} // namespace kest::platform

namespace kest::platform {

void set_env(std::string_view name, const std::optional<std::string>& value) {
    std::wstring n = win32::wide(name);
    if (value) {
        std::wstring v = win32::wide(*value);
        SetEnvironmentVariableW(n.c_str(), v.c_str());
    } else {
        SetEnvironmentVariableW(n.c_str(), nullptr);
    }
}

} // namespace kest::platform
