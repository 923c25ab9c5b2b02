// The engine's "/connections" answer on any bytes. Totals that decode are the very integers the
// body holds (nlohmann reads the same ones), read back unchanged when written out again, and
// come out the same a second time; a body whose totals are signed 64-bit integers, or absent, is
// never refused. A refusal is the decoder's text with its position.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "json_reference.h"
#include "rpc/totals.h"
#include "json/cursor.h"
#include "json/json.h"

namespace {

using kest::Json;
using kest::rpc::Totals;

bool same(const Totals& a, const Totals& b) {
    return a.upload_total == b.upload_total && a.download_total == b.download_total;
}

void check_reads_back(const Totals& totals, const Json& written) {
    auto text = kest::json::dump_compact(written);
    fuzz_require(text.has_value());
    auto again = kest::rpc::parse_totals(*text);
    fuzz_require(again && same(*again, totals));
}

constexpr ReferenceField kFields[] = {{"uploadTotal", is_json_i64}, {"downloadTotal", is_json_i64}};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view body(reinterpret_cast<const char*>(data), size);
    auto totals = kest::rpc::parse_totals(body);
    auto second = kest::rpc::parse_totals(body);
    fuzz_require(totals.has_value() == second.has_value());

    if (totals) {
        fuzz_require(same(*totals, *second));
        check_reads_back(*totals, {{"uploadTotal", totals->upload_total},
                                   {"downloadTotal", totals->download_total},
                                   {"connections", Json::array()}});
        check_reads_back(*totals, Json::array({totals->upload_total, totals->download_total}));
    } else {
        fuzz_require(totals.error() == second.error());
        fuzz_require(kest::json::without_position(totals.error()) != totals.error());
    }

    auto expected = reference_values(body, kFields, totals.has_value());
    if (!expected)
        return 0;
    const auto& values = *expected;
    fuzz_require(totals->upload_total == (values[0].is_null() ? 0 : values[0].get<std::int64_t>()));
    fuzz_require(totals->download_total ==
                 (values[1].is_null() ? 0 : values[1].get<std::int64_t>()));
    return 0;
}
