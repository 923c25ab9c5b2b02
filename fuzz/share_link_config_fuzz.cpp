// Share links on any bytes, through the outbound into the engine's configuration document for a
// fixed routing plan (in either mode) and fixed session values. For a UTF-8 link the document is
// always made; a document made is UTF-8, the compact form with keys in byte order of what
// nlohmann reads back from it, the same text for the same input, and carries the outbound
// untouched beside the session's control values.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/config_file.h"
#include "config/route_plan.h"
#include "config/share_link.h"
#include "fuzz_check.h"
#include "text/utf8.h"
#include "json/json.h"

namespace {

using kest::Json;
using kest::config::ConfigInputs;
using kest::config::RoutePlan;

RoutePlan fixed_plan(bool selected_mode) {
    RoutePlan plan;
    plan.process_names.append("Telegram.exe");
    plan.process_names.append("game.exe");
    plan.exe_paths.append("C:\\Users\\u\\AppData\\Roaming\\Telegram Desktop\\Telegram.exe");
    plan.exe_paths.append("D:\\Games\\game.exe");
    plan.folders.append("C:\\Users\\u\\AppData\\Roaming\\Telegram Desktop");
    plan.folders.append("D:\\Games");
    plan.domains.append("example.org");
    plan.domain_suffixes.append(".example.org");
    plan.domains.append("пример.рф");
    plan.domain_suffixes.append(".пример.рф");
    plan.ip_cidrs.append("10.0.0.0/8");
    plan.ip_cidrs.append("2001:db8::/32");
    plan.geosite_names.append("telegram");
    plan.selected_mode = selected_mode;
    plan.ru_preset = true;
    return plan;
}

const ConfigInputs& fixed_inputs() {
    // A data directory that does not exist: no rule-set file is ever found, so the document
    // depends on the input alone.
    static const ConfigInputs inputs{"5f0c6a1e9b2d4c7f8e3a1b6d0c9f2e4a",
                                     52741,
                                     "192.0.2.53",
                                     "/nonexistent/kest-fuzz/vpn_config.json",
                                     "/nonexistent/kest-fuzz",
                                     std::nullopt};
    return inputs;
}

void check_document(const Json& outbound, const RoutePlan& plan, bool utf8_link) {
    const ConfigInputs& inputs = fixed_inputs();
    auto text = kest::config::render_engine_config(outbound, plan, inputs);
    if (!text) {
        fuzz_require(!utf8_link);
        fuzz_require(text.error() == "invalid UTF-8 in a JSON string");
        return;
    }
    fuzz_require(kest::text::is_valid_utf8(*text));

    Json document;
    try {
        document = Json::parse(*text);
    } catch (const Json::exception&) {
        fuzz_require(false);
    }
    auto compact = kest::json::dump_compact(document);
    fuzz_require(compact && *compact == *text);

    auto again = kest::config::render_engine_config(outbound, plan, inputs);
    fuzz_require(again && *again == *text);

    const Json& outbounds = document.at("outbounds");
    fuzz_require(outbounds.is_array() && !outbounds.empty() && outbounds[0] == outbound);
    const Json& api = document.at("experimental").at("clash_api");
    fuzz_require(api.at("secret") == inputs.secret);
    fuzz_require(api.at("external_controller") == "127.0.0.1:" + std::to_string(inputs.port));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view link(reinterpret_cast<const char*>(data), size);
    auto outbound = kest::config::parse_share_link(link, {});
    if (!outbound)
        return 0;
    bool utf8 = kest::text::is_valid_utf8(link);
    // One document per input keeps the rate up; the link's length picks the mode.
    static const RoutePlan plans[] = {fixed_plan(false), fixed_plan(true)};
    check_document(*outbound, plans[size % 2], utf8);
    return 0;
}
