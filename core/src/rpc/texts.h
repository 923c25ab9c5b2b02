#pragma once
// The user-visible texts of this subsystem (log lines, error and status messages), kept in one
// place so they can be reviewed together. They are part of the interface: change none lightly.
#include <string_view>

namespace kest::rpc {

// A rule-set file was downloaded: this, the file name, " (", the size in KiB, then the unit.
inline constexpr std::string_view kGeoRuleSetWritten = "🌍 Гео-данные обновлены: ";
inline constexpr std::string_view kGeoRuleSetSizeUnit = " КБ)";

// Log lines; the ones ending in ": " or " " are followed by a detail.
inline constexpr std::string_view kUnparsedRequest = "неразобранный запрос: "; // parser's error
inline constexpr std::string_view kPanicIn = "паника в ";                      // method name
inline constexpr std::string_view kUnserialisableAnswer = "не сериализуется ответ";
inline constexpr std::string_view kTeardownTimedOut = "демонтаж туннеля не уложился в 5с — выходим";
inline constexpr std::string_view kNoEventWriter = "не запускается поток событий: "; // the system's

// Error texts of responses, followed by the method name.
inline constexpr std::string_view kInternalErrorIn = "внутренняя ошибка ядра в ";
inline constexpr std::string_view kUnknownMethod = "неизвестный метод: ";

} // namespace kest::rpc
