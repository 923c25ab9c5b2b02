#include "rpc/request.h"

#include "text/white_space.h"
#include "json/record.h"

namespace kest::rpc {
namespace {

// The request is level 1; "params" (level 2) may hold containers down to level 127.
constexpr int kParamsMaxDepth = 126;

} // namespace

std::string_view clean_request_line(std::string_view line) {
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";
    while (line.substr(0, kBom.size()) == kBom)
        line.remove_prefix(kBom.size());
    return text::trim_white_space(line);
}

Expected<Request> parse_request(std::string_view text) {
    Request request;
    const json::Field fields[] = {
        json::field("id", request.id),
        json::field("method", request.method),
        json::field("params", request.params, kParamsMaxDepth),
    };
    auto decoded = json::decode_record_text(text, "struct Request", fields);
    if (!decoded)
        return unexpected(decoded.error());
    return request;
}

} // namespace kest::rpc
