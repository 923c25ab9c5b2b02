#pragma once
// The user-visible texts of this subsystem (log lines, error and status messages), kept in one
// place so they can be reviewed together. They are part of the interface: change none lightly.
#include <string_view>

namespace kest::apps {

// Logged when making one icon panics: the first part, the executable's path, the second part.
inline constexpr std::string_view kIconPanicOpen = "паника при извлечении значка (";
inline constexpr std::string_view kIconPanicClose = ")";
inline constexpr std::string_view kRunningScanPanic = "паника при скане запущенных приложений";
inline constexpr std::string_view kInstalledScanPanic = "паника при скане приложений";
// "скан: N приложений за M мс", in three pieces around the two numbers.
inline constexpr std::string_view kScanSummaryHead = "скан: ";
inline constexpr std::string_view kScanSummaryMiddle = " приложений за ";
inline constexpr std::string_view kScanSummaryTail = " мс";
inline constexpr std::string_view kJavaEntryName = "Java / Minecraft (javaw.exe)";

} // namespace kest::apps
