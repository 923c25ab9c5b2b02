// The engine's start report lines on any bytes. A report that decodes holds UTF-8 texts, decodes
// the same way a second time, reads back unchanged when written out as an object or as an array,
// and agrees field by field with nlohmann's reading of the line; a well-typed record that
// nlohmann reads is never refused. A refusal is the decoder's text with its position.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "json_reference.h"
#include "text/utf8.h"
#include "vpn/engine/start_report.h"
#include "json/cursor.h"
#include "json/json.h"

namespace {

using kest::Json;
using kest::vpn::StartReport;

bool same(const StartReport& a, const StartReport& b) {
    return a.ok == b.ok && a.kind == b.kind && a.error == b.error;
}

void check_reads_back(const StartReport& report, const Json& written) {
    auto text = kest::json::dump_compact(written);
    fuzz_require(text.has_value());
    auto again = kest::vpn::parse_start_report(*text);
    fuzz_require(again && same(*again, report));
}

constexpr ReferenceField kFields[] = {
    {"ok", is_json_boolean}, {"kind", is_json_string}, {"error", is_json_string}};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    auto report = kest::vpn::parse_start_report(line);
    auto second = kest::vpn::parse_start_report(line);
    fuzz_require(report.has_value() == second.has_value());

    if (report) {
        fuzz_require(same(*report, *second));
        fuzz_require(kest::text::is_valid_utf8(report->kind));
        fuzz_require(kest::text::is_valid_utf8(report->error));
        check_reads_back(*report,
                         {{"ok", report->ok}, {"kind", report->kind}, {"error", report->error}});
        check_reads_back(*report, Json::array({report->ok, report->kind, report->error}));
    } else {
        fuzz_require(report.error() == second.error());
        fuzz_require(kest::json::without_position(report.error()) != report.error());
    }

    auto expected = reference_values(line, kFields, report.has_value());
    if (!expected)
        return 0;
    const auto& values = *expected;
    fuzz_require(report->ok == (values[0].is_boolean() && values[0].get<bool>()));
    fuzz_require(report->kind == (values[1].is_string() ? values[1].get<std::string>() : ""));
    fuzz_require(report->error == (values[2].is_string() ? values[2].get<std::string>() : ""));
    return 0;
}
