#include "rpc/totals.h"

#include "json/record.h"

namespace kest::rpc {

Expected<Totals> parse_totals(std::string_view body) {
    Totals totals;
    const json::Field fields[] = {
        json::field("uploadTotal", totals.upload_total),
        json::field("downloadTotal", totals.download_total),
    };
    auto decoded = json::decode_record_text(body, "struct Totals", fields);
    if (!decoded)
        return unexpected(decoded.error());
    return totals;
}

} // namespace kest::rpc
