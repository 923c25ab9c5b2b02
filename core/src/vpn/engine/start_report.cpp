#include "vpn/engine/start_report.h"

#include "text/white_space.h"
#include "util/log.h"
#include "vpn/texts.h"
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

std::optional<StartReport> wait_start_report(Channel<std::string>::Receiver& reports,
                                             std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto line = reports.recv_until(deadline);
        if (!line)
            return std::nullopt;
        std::string_view trimmed = text::trim_white_space(*line);
        if (trimmed.empty())
            continue;
        auto report = parse_start_report(trimmed);
        if (!report) {
            log_line(LogTag::Vpn,
                     fill_text(texts::engine_unreadable_report, {report.error(), trimmed}));
            return std::nullopt;
        }
        return std::move(*report);
    }
}

} // namespace kest::vpn
