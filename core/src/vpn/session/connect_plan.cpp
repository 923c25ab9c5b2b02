#include "vpn/session/connect_plan.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "text/ip_address.h"
#include "text/lowercase.h"
#include "text/path_text.h"
#include "text/white_space.h"
#include "util/own_executable.h"

namespace kest::vpn {
namespace {

// Top folders where an application's folder would cover far more than that application.
constexpr std::array<std::string_view, 5> kProtectedTopFolders = {
    "program files", "program files (x86)", "users", "windows", "programdata"};

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

bool is_ascii_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The folder of an executable path worth a folder rule, or empty.
std::string_view folder_rule_of(std::string_view exe_path) {
    auto last = exe_path.find_last_of("\\/");
    if (last == std::string_view::npos)
        return {};
    std::string_view folder = exe_path.substr(0, last);
    if (folder.empty() || folder == ".")
        return {};

    std::string_view rest = folder;
    if (rest.size() >= 2 && is_ascii_letter(rest[0]) && rest[1] == ':')
        rest.remove_prefix(2);
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || is_separator(rest[i])) {
            if (i > start)
                pieces.push_back(rest.substr(start, i - start));
            start = i + 1;
        }
    }
    if (pieces.empty())
        return {};
    if (pieces.size() == 1) {
        std::string lower = text::to_lower(pieces.front());
        if (std::find(kProtectedTopFolders.begin(), kProtectedTopFolders.end(), lower) !=
            kProtectedTopFolders.end())
            return {};
    }
    return folder;
}

void add_application(config::RoutePlan& plan, std::string_view exe_path) {
    if (is_own_executable(exe_path))
        return;
    std::string_view name = text::file_name_of(exe_path);
    if (!name.empty() && name != ".")
        plan.process_names.append(name);
    if (!exe_path.empty())
        plan.exe_paths.append(exe_path);
    if (std::string_view folder = folder_rule_of(exe_path); !folder.empty())
        plan.folders.append(folder);
}

bool all_ascii_digits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Adds the site as an address range and returns true when it is one (or a bare address).
bool add_address_site(config::RoutePlan& plan, std::string_view trimmed) {
    auto slash = trimmed.find('/');
    if (slash != std::string_view::npos) {
        std::string_view prefix_length = trimmed.substr(slash + 1);
        if (prefix_length.empty() || !all_ascii_digits(prefix_length) ||
            !text::is_ip_text(trimmed.substr(0, slash)))
            return false;
        plan.ip_cidrs.append(trimmed);
        return true;
    }
    if (text::is_ipv4_text(trimmed)) {
        plan.ip_cidrs.append(std::string(trimmed) + "/32");
        return true;
    }
    if (text::is_ipv6_text(trimmed)) {
        plan.ip_cidrs.append(std::string(trimmed) + "/128");
        return true;
    }
    return false;
}

void add_domain_name(config::RoutePlan& plan, std::string_view name) {
    std::string_view trimmed = text::trim_white_space(name);
    while (!trimmed.empty() && trimmed.front() == '.')
        trimmed.remove_prefix(1);
    while (!trimmed.empty() && trimmed.back() == '.')
        trimmed.remove_suffix(1);
    std::string domain = text::to_lower(trimmed);
    if (domain.empty())
        return;
    plan.domains.append(domain);
    plan.domain_suffixes.append("." + domain);
}

void add_site(config::RoutePlan& plan, std::string_view site, const ServiceLookup& find) {
    if (add_address_site(plan, text::trim_white_space(site)))
        return;
    const config::Service* service = find(site);
    if (service && !service->domains.empty()) {
        for (const std::string& domain : service->domains)
            add_domain_name(plan, domain);
    } else {
        add_domain_name(plan, site);
    }
    if (!service)
        return;
    for (const std::string& range : service->ip_cidrs)
        plan.ip_cidrs.append(range);
    for (const std::string& rule_set : service->rule_sets)
        plan.geosite_names.append(rule_set);
}

} // namespace

config::RoutePlan build_route_plan(const ConnectParams& params, const ServiceLookup& find) {
    config::RoutePlan plan;
    plan.selected_mode = params.mode == "selected";
    for (const RoutingApp& app : params.apps)
        add_application(plan, app.exe_path);
    for (const std::string& site : params.sites) {
        if (site == kRuPresetToken)
            plan.ru_preset = true;
        else
            add_site(plan, site, find);
    }
    return plan;
}

} // namespace kest::vpn
