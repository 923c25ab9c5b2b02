#include "rpc/rule_sets.h"

#include <array>
#include <optional>

#include "config/paths.h"
#include "net/http_profiles.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "rpc/rule_set_download.h"
#include "text/path_text.h"
#include "util/data_dir.h"
#include "json/record.h"

namespace kest::rpc {
namespace {

struct BaseRuleSet {
    std::string_view file_name;
    std::string_view mirror_1_path;
    std::string_view mirror_2_path;
};

// The built-in Russian preset, in the order it is updated.
constexpr std::array<BaseRuleSet, 2> base_rule_sets = {{
    {"geosite-category-ru.srs", "/SagerNet/sing-geosite/rule-set/geosite-category-ru.srs",
     "/gh/SagerNet/sing-geosite@rule-set/geosite-category-ru.srs"},
    {"geoip-ru.srs", "/SagerNet/sing-geoip/rule-set/geoip-ru.srs",
     "/gh/SagerNet/sing-geoip@rule-set/geoip-ru.srs"},
}};

constexpr std::string_view service_mirror_1_folder = "/SagerNet/sing-geosite/rule-set/";
constexpr std::string_view service_mirror_2_folder = "/gh/SagerNet/sing-geosite@rule-set/";

constexpr std::size_t max_service_name_size = 64;

std::string service_file_name(std::string_view service) {
    return "geosite-" + std::string(service) + ".srs";
}

std::string concat(std::string_view a, std::string_view b, std::string_view c = {}) {
    std::string out;
    out.reserve(a.size() + b.size() + c.size());
    out.append(a);
    out.append(b);
    out.append(c);
    return out;
}

// The folder, created with its parents; none when it cannot be.
std::optional<std::string> ready_rule_set_folder() {
    std::string folder = config::rule_set_folder(data_dir(), platform::path_separator());
    if (!platform::create_directories(folder))
        return std::nullopt;
    return folder;
}

std::string file_in(const std::string& folder, std::string_view file_name) {
    return text::join_path(folder, file_name, platform::path_separator());
}

// Mirror 1, then mirror 2 when the first attempt wrote nothing.
bool download_from_either(const net::HttpAgent& client, const std::string& url_1,
                          const std::string& url_2, const std::string& path,
                          std::string_view file_name) {
    return download_rule_set(client, url_1, path, file_name) ||
           download_rule_set(client, url_2, path, file_name);
}

bool update_base_rule_sets(const RuleSetMirrors& mirrors,
                           const DownloadClientFactory& make_client) {
    auto folder = ready_rule_set_folder();
    if (!folder)
        return false;
    auto client = make_client();
    bool updated = false;
    for (const BaseRuleSet& row : base_rule_sets) {
        std::string path = file_in(*folder, row.file_name);
        if (is_fresh(path))
            continue;
        if (download_from_either(*client, concat(mirrors.first, row.mirror_1_path),
                                 concat(mirrors.second, row.mirror_2_path), path, row.file_name))
            updated = true;
    }
    return updated;
}

bool update_service_rule_sets(const std::vector<std::string>& services,
                              const RuleSetMirrors& mirrors,
                              const DownloadClientFactory& make_client) {
    if (services.empty())
        return false;
    auto folder = ready_rule_set_folder(); // again: the first attempt may have failed
    if (!folder)
        return false;
    std::vector<std::string_view> pending; // a name listed twice is fetched twice
    for (const std::string& name : services) {
        if (is_valid_service_name(name) && !is_fresh(file_in(*folder, service_file_name(name))))
            pending.push_back(name);
    }
    if (pending.empty())
        return false;
    auto client = make_client();
    bool updated = false;
    for (std::string_view name : pending) {
        std::string file_name = service_file_name(name);
        if (download_from_either(*client, concat(mirrors.first, service_mirror_1_folder, file_name),
                                 concat(mirrors.second, service_mirror_2_folder, file_name),
                                 file_in(*folder, file_name), file_name))
            updated = true;
    }
    return updated;
}

} // namespace

GeoParams decode_geo_params(const Json& params) {
    GeoParams decoded;
    json::Field fields[] = {json::field("services", decoded.services)};
    if (!json::decode_record_value(params, "struct GeoParams", fields))
        return {};
    return decoded;
}

bool is_valid_service_name(std::string_view name) {
    if (name.empty() || name.size() > max_service_name_size)
        return false;
    for (char c : name) {
        bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!allowed)
            return false;
    }
    return true;
}

bool is_fresh(const std::string& path, platform::FileTime now) {
    auto written = platform::last_write_time(path);
    // now - written < max age, written so that no file time can overflow it.
    return written && *written > now - rule_set_max_age;
}

bool is_fresh(const std::string& path) {
    return is_fresh(path, platform::system_time_now());
}

std::shared_ptr<const net::HttpAgent> make_download_client() {
    return net::make_http_agent(net::download_profile());
}

bool update_rule_sets(const Json& params, const RuleSetMirrors& mirrors,
                      const DownloadClientFactory& make_client) {
    GeoParams decoded = decode_geo_params(params);
    bool base_updated = update_base_rule_sets(mirrors, make_client);
    bool services_updated = update_service_rule_sets(decoded.services, mirrors, make_client);
    return base_updated || services_updated;
}

} // namespace kest::rpc
