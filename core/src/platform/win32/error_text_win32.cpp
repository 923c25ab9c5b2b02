#include "platform/win32/windows_api.h"

namespace kest::platform::win32 {

std::string error_text(DWORD code, HMODULE message_table) {
    wchar_t* buf = nullptr;
    DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (message_table)
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    DWORD n =
        FormatMessageW(flags, message_table, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::string text;
    if (n && buf) {
        text = narrow(buf, n);
        LocalFree(buf);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty())
        text = "системная ошибка " + std::to_string(code);
    return text + " (os error " + std::to_string(code) + ")";
}

} // namespace kest::platform::win32
