#pragma once
// "geo_update": brings the rule-set files in the folder "geo" of the data directory up to date,
// the two of the built-in Russian preset and one per service name the front end lists, each
// only when it is missing or older than seven days.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/http_agent.h"
#include "platform/clock.h"
#include "rpc/rule_set_mirrors.h"
#include "json/json.h"

namespace kest::rpc {

struct GeoParams {
    std::vector<std::string> services;
};

// {"services": [...]} or [[...]]; any other value, null included, gives the empty list.
GeoParams decode_geo_params(const Json& params);

// 1 to 64 bytes, each "a"-"z", "0"-"9", "_" or "-"; nothing is trimmed or lowercased first.
bool is_valid_service_name(std::string_view name);

// Seven days on the file-time scale.
inline constexpr platform::FileTime rule_set_max_age = 6'048'000'000'000;

// True when the last-write time of the file can be read and lies after now or less than
// rule_set_max_age before it; a file exactly that old, a missing or unreadable one is stale.
bool is_fresh(const std::string& path, platform::FileTime now);
bool is_fresh(const std::string& path);

using DownloadClientFactory = std::function<std::shared_ptr<const net::HttpAgent>()>;

// An agent with the download profile.
std::shared_ptr<const net::HttpAgent> make_download_client();

// Updates the stale files from the public mirrors, each file from mirror 1 and, when that
// fails, from mirror 2. True when at least one file was written. Makes at most two clients,
// one for the built-in rule sets and one for the service rule sets, the latter only when a
// service file is stale.
bool update_rule_sets(const Json& params, const RuleSetMirrors& mirrors = public_rule_set_mirrors(),
                      const DownloadClientFactory& make_client = make_download_client);

} // namespace kest::rpc
