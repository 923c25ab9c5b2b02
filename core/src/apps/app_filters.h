#pragma once
// The rules every source of the application catalogue shares: which executable is a user
// application and which display name is noise.
#include <array>
#include <string_view>

namespace kest::apps {

// Words in a file stem that mark an installer, updater or crash helper, in test order.
inline constexpr std::array<std::string_view, 12> kInstallerStemWords = {
    "unins",       "uninstall",    "setup",    "install",     "updater",    "repair",
    "crashreport", "crashhandler", "crashpad", "errorreport", "sendreport", "elevate",
};

// Words in a display name that mark an uninstaller, a document, a web link or a maintenance
// tool, in test order.
inline constexpr std::array<std::string_view, 23> kJunkNameWords = {
    "uninstall",    "uninst",     "удален",   "удали",         "readme",   "help",
    "manual",       "website",    "web site", "documentation", "license",  "repair",
    "telemetry",    "телеметр",   "журнал",   "diagnost",      "диагност", "средств",
    "troubleshoot", "activation", "активаци", "webview",       "报告",
};

// An existing path ending in ".exe" (any case), outside the Windows folder named by WINDIR (a
// plain prefix test), whose stem holds no installer word.
bool is_user_app_exe(std::string_view path);

// Whether the lowercased name contains any junk word.
bool is_junk_name(std::string_view name);

// Whether the lowercased text contains any of the words.
template <std::size_t N>
bool contains_any_word(std::string_view lowercased, const std::array<std::string_view, N>& words) {
    for (std::string_view word : words)
        if (lowercased.find(word) != std::string_view::npos)
            return true;
    return false;
}

} // namespace kest::apps
