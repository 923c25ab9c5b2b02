#include "vpn/start_report.h"

#include "json/record.h"

namespace kest::vpn {

Expected<StartReport> parse_start_report(std::string_view text) {
    StartReport report;
    const json::Field fields[] = {
        json::field("ok", report.ok),
        json::field("kind", report.kind),
        json::field("error", report.error),
    };
    auto decoded = json::decode_record_text(text, "struct StartReport", fields);
    if (!decoded)
        return unexpected(decoded.error());
    return report;
}

} // namespace kest::vpn
