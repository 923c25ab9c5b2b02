#include "rpc/totals.h"

#include "json/record.h"

namespace kest::rpc {

Expected<Totals> parse_totals(std::string_view body) {
    Totals totals;
    auto integer_into = [](std::int64_t& field) {
        return [&field](json::Cursor& c) -> Expected<void> {
            auto v = c.read_i64();
            if (!v)
                return unexpected(v.error());
            field = *v;
            return {};
        };
    };
    const json::Field fields[] = {
        {"uploadTotal", integer_into(totals.upload_total)},
        {"downloadTotal", integer_into(totals.download_total)},
    };
    auto decoded = json::decode_record_text(body, "struct Totals", fields);
    if (!decoded)
        return unexpected(decoded.error());
    return totals;
}

} // namespace kest::rpc
