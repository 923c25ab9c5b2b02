#include "vpn/start_report.h"

#include "json/record.h"

namespace kest::vpn {

Expected<StartReport> parse_start_report(std::string_view text) {
    StartReport report;
    const json::Field fields[] = {
        {"ok",
         [&](json::Cursor& c) -> Expected<void> {
             auto v = c.read_bool();
             if (!v)
                 return unexpected(v.error());
             report.ok = *v;
             return {};
         }},
        {"kind",
         [&](json::Cursor& c) -> Expected<void> {
             auto v = c.read_string();
             if (!v)
                 return unexpected(v.error());
             report.kind = std::move(*v);
             return {};
         }},
        {"error",
         [&](json::Cursor& c) -> Expected<void> {
             auto v = c.read_string();
             if (!v)
                 return unexpected(v.error());
             report.error = std::move(*v);
             return {};
         }},
    };
    auto decoded = json::decode_record_text(text, "struct StartReport", fields);
    if (!decoded)
        return unexpected(decoded.error());
    return report;
}

} // namespace kest::vpn
