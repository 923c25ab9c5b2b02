#pragma once
// One request line from the front end: {"id","method","params"} or [id, method, params].
#include <cstdint>
#include <string>
#include <string_view>

#include "base/expected.h"
#include "json/json.h"

namespace kest::rpc {

struct Request {
    std::uint64_t id = 0;
    std::string method;
    Json params; // null when absent
    // Not part of the line: the request loop's number for it, which orders tunnel commands.
    std::uint64_t arrival = 0;
};

// Parses one trimmed line. The error names the fault with its line and column.
Expected<Request> parse_request(std::string_view text);

// Strips leading U+FEFF characters, then Unicode white space at both ends.
std::string_view clean_request_line(std::string_view line);

} // namespace kest::rpc
