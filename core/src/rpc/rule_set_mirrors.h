#pragma once
// The two public mirrors the rule-set files are downloaded from. Both serve the rule-set
// branches of the same upstream repositories, mirror 1 as raw repository files and mirror 2
// through a CDN, so one may stand in for the other when it fails. These two host names are the
// only place where they appear.
#include <string>
#include <string_view>

namespace kest::rpc {

inline constexpr std::string_view rule_set_mirror_1_host = "raw.githubusercontent.com";
inline constexpr std::string_view rule_set_mirror_2_host = "cdn.jsdelivr.net";

// Where a download goes: scheme and host (and port) of each mirror, without a trailing "/"; the
// URL paths of the rule sets are appended to them.
struct RuleSetMirrors {
    std::string first;
    std::string second;
};

inline RuleSetMirrors public_rule_set_mirrors() {
    return {"https://" + std::string(rule_set_mirror_1_host),
            "https://" + std::string(rule_set_mirror_2_host)};
}

} // namespace kest::rpc
