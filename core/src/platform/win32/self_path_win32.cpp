#include "platform/self_path.h"

#include <vector>

#include "platform/win32/windows_api.h"

namespace kest::platform {

std::optional<std::string> own_executable_path() {
    std::vector<wchar_t> buf(1024);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return std::nullopt;
        if (n < buf.size())
            return win32::narrow(buf.data(), n);
        if (buf.size() >= 32768)
            return std::nullopt;
        buf.resize(buf.size() * 2);
    }
}

} // namespace kest::platform
