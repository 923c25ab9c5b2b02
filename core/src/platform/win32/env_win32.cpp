#include "platform/env.h"

#include <vector>

#include "platform/win32/windows_api.h"

namespace kest::platform {

std::optional<std::string> get_env(std::string_view name) {
    std::wstring wname = win32::wide(name);
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
    if (needed == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                        : std::optional<std::string>("");
    std::vector<wchar_t> buf(needed);
    DWORD n = GetEnvironmentVariableW(wname.c_str(), buf.data(), needed);
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return std::nullopt;
    return win32::narrow(buf.data(), n);
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
