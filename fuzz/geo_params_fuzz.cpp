// "geo_update" parameters on any bytes that read as a request's params, and the service-name
// rule. The services are the list of {"services": [...]} or [[...]] exactly, and nothing for any
// other value; a name passes only with 1 to 64 bytes of "a"-"z", "0"-"9", "_", "-", so a name
// that passes always makes a plain file name in the rule-set folder.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "json_reference.h"
#include "rpc/rule_sets.h"

namespace {

using kest::Json;

std::optional<std::vector<std::string>> string_list(const Json& v) {
    if (!v.is_array())
        return std::nullopt;
    std::vector<std::string> list;
    for (const Json& item : v) {
        if (!item.is_string())
            return std::nullopt;
        list.push_back(item.get<std::string>());
    }
    return list;
}

// The documented reading, off the tree: a refused value and an absent list both mean none.
std::vector<std::string> expected_services(const Json& params) {
    const Json* services = nullptr;
    if (params.is_object() && params.contains("services"))
        services = &params.at("services");
    else if (params.is_array() && params.size() == 1)
        services = &params[0];
    if (!services)
        return {};
    return string_list(*services).value_or(std::vector<std::string>{});
}

bool allowed_in_name(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

void check_name(std::string_view name) {
    bool valid = kest::rpc::is_valid_service_name(name);
    bool documented = !name.empty() && name.size() <= 64 &&
                      std::all_of(name.begin(), name.end(), allowed_in_name);
    fuzz_require(valid == documented);
    if (valid)
        fuzz_require(name != "." && name != ".." &&
                     name.find_first_of("/\\:.") == std::string_view::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // The rule on raw bytes too: every line, and the whole input, as a name.
    check_name(input);
    for (std::size_t begin = 0; begin <= input.size();) {
        std::size_t end = std::min(input.find('\n', begin), input.size());
        check_name(input.substr(begin, end - begin));
        begin = end + 1;
    }

    auto params = request_params(input, "geo_update");
    if (!params)
        return 0;
    auto decoded = kest::rpc::decode_geo_params(*params);
    fuzz_require(decoded.services == expected_services(*params));
    for (const std::string& name : decoded.services)
        check_name(name);
    return 0;
}
