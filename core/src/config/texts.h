#pragma once
// The user-visible texts of this subsystem (log lines, error and status messages), kept in one
// place so they can be reviewed together. They are part of the interface: change none lightly.
#include <string_view>

namespace kest::config {

// Share-link faults, shown to the user as they stand.
inline constexpr std::string_view kUnsupportedProtocol =
    "данный тип протокола не поддерживается клиентом";
inline constexpr std::string_view kNaiveQuicUnsupported =
    "naive+quic не поддерживается — используйте naive+https";
// Around the transport's name: "транспорт «ws» не поддерживается — нужен tcp (tls/reality)".
inline constexpr std::string_view kTransportBefore = "транспорт «";
inline constexpr std::string_view kTransportAfter = "» не поддерживается — нужен tcp (tls/reality)";

// Faults of the link's URL: kBadLink, the fault, and for some the piece « » quoted.
inline constexpr std::string_view kBadLink = "некорректная ссылка: ";
inline constexpr std::string_view kNoScheme = "нет схемы";
inline constexpr std::string_view kControlCharacter = "управляющий символ";
inline constexpr std::string_view kNotUtf8 = "строка не в UTF-8";
inline constexpr std::string_view kTruncatedEscapeIn = "обрезанная escape-последовательность в";
inline constexpr std::string_view kBadEscapeIn = "неверная escape-последовательность в";
inline constexpr std::string_view kUnclosedIpv6Bracket = "незакрытая скобка в адресе IPv6";
inline constexpr std::string_view kJunkAfterIpv6 = "мусор после адреса IPv6";
inline constexpr std::string_view kBadPort = "неверный порт";

} // namespace kest::config
