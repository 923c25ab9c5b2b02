#include "vpn/dns/doh_response.h"

#include "text/ip_address.h"
#include "json/record.h"

namespace kest::vpn {
namespace {

Expected<void> read_answer(json::Cursor& cursor, std::vector<DohAnswer>& into) {
    DohAnswer answer;
    const json::Field fields[] = {
        json::field("type", answer.type),
        json::field("data", answer.data),
    };
    if (auto r = json::decode_record(cursor, "struct DohAnswer", fields); !r)
        return r;
    into.push_back(std::move(answer));
    return {};
}

} // namespace

Expected<DohResponse> parse_doh_response(std::string_view body) {
    DohResponse response;
    const json::Field fields[] = {
        {"Answer",
         [&response](json::Cursor& cursor) {
             return json::read_array(
                 cursor, [&response](json::Cursor& c) { return read_answer(c, response.answers); });
         }},
    };
    auto decoded = json::decode_record_text(body, "struct DohResponse", fields);
    if (!decoded)
        return unexpected(decoded.error());
    return response;
}

std::string first_ipv4_answer(const DohResponse& response) {
    for (const DohAnswer& answer : response.answers)
        if (answer.type == dns_type_a && answer.data.size() <= 15 &&
            text::is_ipv4_text(answer.data))
            return answer.data;
    return "";
}

} // namespace kest::vpn
