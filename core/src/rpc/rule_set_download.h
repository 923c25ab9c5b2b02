#pragma once
// One download attempt of one rule-set file.
#include <cstddef>
#include <string>
#include <string_view>

#include "net/http_agent.h"

namespace kest::rpc {

// A larger answer is not a rule set; the limit keeps a wrong answer from exhausting memory.
inline constexpr std::size_t rule_set_body_limit = 32 * 1024 * 1024;
// The shortest body taken for a rule set, and the bytes it must begin with.
inline constexpr std::size_t rule_set_min_size = 100;
inline constexpr std::string_view rule_set_magic = "SRS";

// GETs url and, when the answer is status 200 with a body of rule_set_min_size to
// rule_set_body_limit bytes beginning with rule_set_magic, writes it atomically to destination
// and logs the display name with the size in KiB. True when the file was written; a failure
// leaves an existing file as it was and logs nothing.
bool download_rule_set(const net::HttpAgent& client, std::string_view url,
                       const std::string& destination, std::string_view display_name);

// The log text of a written rule set: the size in whole KiB, rounded down.
std::string rule_set_written_text(std::string_view display_name, std::size_t size);

} // namespace kest::rpc
