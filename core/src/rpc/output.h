#pragma once
// Every line the core writes to standard output: responses and events, one whole line at a time.
#include <cstdint>
#include <string_view>

#include "rpc/app_state.h"
#include "json/json.h"

namespace kest::rpc {

void write_json_line(AppState& state, const Json& value);

// {"error":text,"id":n} when error is not empty, else {"id":n,"result":value} (no "result" for
// a null value).
void send_response(AppState& state, std::uint64_t id, const Json& value, std::string_view error);

// The response object send_response writes.
Json response_object(std::uint64_t id, const Json& value, std::string_view error);

} // namespace kest::rpc
