#include "rpc/rule_set_download.h"

#include <mutex>

#include "rpc/texts.h"
#include "util/log.h"
#include "util/write_atomic.h"

namespace kest::rpc {
namespace {

// Two "geo_update" requests may fetch the same stale file at the same time. Both would write
// through the same "<file>.tmp", and interleaved writes and renames could leave a mixture of the
// two bodies in place of the rule set, which the engine would then load. Writes of rule sets
// therefore take turns; the downloads themselves still run side by side.
std::mutex& rule_set_write_lock() {
    static std::mutex lock;
    return lock;
}

bool is_rule_set_body(std::string_view body) {
    return body.size() >= rule_set_min_size && body.starts_with(rule_set_magic);
}

} // namespace

std::string rule_set_written_text(std::string_view display_name, std::size_t size) {
    std::string text(kGeoRuleSetWritten);
    text.append(display_name);
    text.append(" (");
    text.append(std::to_string(size / 1024));
    text.append(kGeoRuleSetSizeUnit);
    return text;
}

bool download_rule_set(const net::HttpAgent& client, std::string_view url,
                       const std::string& destination, std::string_view display_name) {
    auto reply = client.get(url, {}, rule_set_body_limit);
    if (!reply || reply->status != 200 || !is_rule_set_body(reply->body))
        return false;
    {
        std::lock_guard lock(rule_set_write_lock());
        if (!write_atomic(destination, reply->body))
            return false;
    }
    log_line(LogTag::Geo, rule_set_written_text(display_name, reply->body.size()));
    return true;
}

} // namespace kest::rpc
