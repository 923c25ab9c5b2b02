#include "rpc/output.h"

#include "platform/stdio.h"
#include "rpc/texts.h"
#include "util/log.h"

namespace kest::rpc {

void write_json_line(AppState& state, const Json& value) {
    std::string line;
    line.reserve(128);
    if (!json::append_compact(line, value)) {
        log_line(LogTag::Rpc, kUnserialisableAnswer);
        return;
    }
    line.push_back('\n');
    std::lock_guard lock(state.output_lock);
    (void)platform::write_stdout(line); // a closed front end loses the line, nothing more
}

Json response_object(std::uint64_t id, const Json& value, std::string_view error) {
    Json response = Json::object();
    response["id"] = id;
    if (!error.empty())
        response["error"] = error;
    else if (!value.is_null())
        response["result"] = value;
    return response;
}

void send_response(AppState& state, std::uint64_t id, const Json& value, std::string_view error) {
    state.unwritten_lines->add();
    write_json_line(state, response_object(id, value, error));
    state.unwritten_lines->done();
}

} // namespace kest::rpc
