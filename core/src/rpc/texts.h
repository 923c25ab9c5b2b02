#pragma once
// The user-visible texts of this subsystem (log lines, error and status messages), kept in one
// place so they can be reviewed together. They are part of the interface: change none lightly.
#include <string_view>

namespace kest::rpc {

// A rule-set file was downloaded: this, the file name, " (", the size in KiB, then the unit.
inline constexpr std::string_view geo_rule_set_written = "🌍 Гео-данные обновлены: ";
inline constexpr std::string_view geo_rule_set_size_unit = " КБ)";

} // namespace kest::rpc
