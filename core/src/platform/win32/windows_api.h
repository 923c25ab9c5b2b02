#pragma once
// The one place that includes windows.h, with winsock2.h before it.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>
#include <string_view>

#include "base/expected.h"
#include "text/utf16.h"

namespace kest::platform::win32 {

inline std::wstring wide(std::string_view utf8) {
    std::u16string w = text::to_wide_nul(utf8);
    return std::wstring(reinterpret_cast<const wchar_t*>(w.data()), w.size() - 1);
}

inline std::string narrow(const wchar_t* units, std::size_t n) {
    return text::from_wide_nul(reinterpret_cast<const char16_t*>(units), n);
}

inline std::string narrow(const std::wstring& w) {
    return narrow(w.data(), w.size());
}

// The system's message for an error code, without the trailing line break. Codes of a module
// with a message table of its own (WinHTTP's) are looked up there first.
std::string error_text(DWORD code, HMODULE message_table = nullptr);

// The calling thread's last error as an error value.
inline Unexpected<std::string> last_error() {
    return unexpected(error_text(GetLastError()));
}

} // namespace kest::platform::win32
