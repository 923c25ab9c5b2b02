// "connect" parameters on any bytes that read as a request's params, through handle_connect with
// a worker that only records the command it is given. Parameters decode exactly when they have
// the documented shape (by name or by position, with the documented types), and the command
// carries the decoded link, the reload choice and the routing plan built from them; anything
// else is answered as a bad configuration without a command. The plan keeps its own promises:
// no entry twice (ASCII case aside), domains lowercased with their suffix forms beside them,
// ranges of an address and a prefix length, and no folder rule covering a drive or a top
// folder that holds far more than one application.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/route_plan.h"
#include "fuzz_check.h"
#include "json_reference.h"
#include "text/ascii.h"
#include "text/ip_address.h"
#include "text/lowercase.h"
#include "text/path_text.h"
#include "util/own_executable.h"
#include "vpn/controller.h"
#include "vpn/session/connect_params.h"
#include "vpn/session/connect_plan.h"
#include "vpn/session/connect_request.h"
#include "json/cursor.h"

namespace {

using kest::Json;
using kest::config::PlanList;
using kest::config::RoutePlan;
using kest::vpn::ConnectParams;
using kest::vpn::RoutingApp;

// What the worker was handed; the reply to the submitter orders its write before the read.
struct Recorded {
    std::mutex mutex;
    std::vector<kest::vpn::VpnCommand> commands;
};

Recorded& recorded() {
    static Recorded r;
    return r;
}

const std::shared_ptr<kest::vpn::VpnController>& recording_controller() {
    static const auto controller = [] {
        auto record = [](kest::vpn::VpnController&,
                         kest::vpn::VpnCommand& command) -> kest::vpn::CommandResult {
            std::lock_guard lock(recorded().mutex);
            recorded().commands.push_back({{}, command.link, command.plan, command.kind});
            return kest::vpn::Done{};
        };
        return std::make_shared<kest::vpn::VpnController>(
            kest::vpn::StatusSink{[](kest::vpn::VpnState, const std::string&) {}, [] {}},
            kest::vpn::CommandRunners{record, record});
    }();
    return controller;
}

std::optional<std::string> no_system_proxy() {
    return std::nullopt;
}

// The documented shape of the parameters, read off the tree without the record decoder.
struct Slot {
    const char* name;
    bool (*take)(const Json&, ConnectParams&);
};

bool take_string_list(const Json& v, std::vector<std::string>& out) {
    if (!v.is_array())
        return false;
    for (const Json& item : v) {
        if (!item.is_string())
            return false;
        out.push_back(item.get<std::string>());
    }
    return true;
}

std::optional<RoutingApp> app_of(const Json& v) {
    RoutingApp app;
    std::string* slots[] = {&app.name, &app.exe_path};
    const char* names[] = {"name", "exe_path"};
    if (v.is_object()) {
        for (std::size_t i = 0; i < 2; ++i) {
            auto it = v.find(names[i]);
            if (it == v.end())
                continue;
            if (!it->is_string())
                return std::nullopt;
            *slots[i] = it->get<std::string>();
        }
        return app;
    }
    if (!v.is_array() || v.size() > 2)
        return std::nullopt;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (!v[i].is_string())
            return std::nullopt;
        *slots[i] = v[i].get<std::string>();
    }
    return app;
}

const Slot kSlots[] = {
    {"link",
     [](const Json& v, ConnectParams& p) {
         return v.is_string() && (p.link = v.get<std::string>(), true);
     }},
    {"mode",
     [](const Json& v, ConnectParams& p) {
         return v.is_string() && (p.mode = v.get<std::string>(), true);
     }},
    {"apps",
     [](const Json& v, ConnectParams& p) {
         if (!v.is_array())
             return false;
         for (const Json& item : v) {
             auto app = app_of(item);
             if (!app)
                 return false;
             p.apps.push_back(std::move(*app));
         }
         return true;
     }},
    {"sites", [](const Json& v, ConnectParams& p) { return take_string_list(v, p.sites); }},
    {"reload", [](const Json& v,
                  ConnectParams& p) { return v.is_boolean() && (p.reload = v.get<bool>(), true); }},
};

std::optional<ConnectParams> expected_params(const Json& params) {
    ConnectParams p;
    if (params.is_object()) {
        for (const Slot& slot : kSlots) {
            auto it = params.find(slot.name);
            if (it != params.end() && !slot.take(*it, p))
                return std::nullopt;
        }
        return p;
    }
    if (!params.is_array() || params.size() > std::size(kSlots))
        return std::nullopt;
    for (std::size_t i = 0; i < params.size(); ++i)
        if (!kSlots[i].take(params[i], p))
            return std::nullopt;
    return p;
}

bool same(const ConnectParams& a, const ConnectParams& b) {
    if (a.link != b.link || a.mode != b.mode || a.sites != b.sites || a.reload != b.reload ||
        a.apps.size() != b.apps.size())
        return false;
    for (std::size_t i = 0; i < a.apps.size(); ++i)
        if (a.apps[i].name != b.apps[i].name || a.apps[i].exe_path != b.apps[i].exe_path)
            return false;
    return true;
}

void check_no_repeats(const PlanList& list) {
    const auto& items = list.items();
    for (std::size_t i = 0; i < items.size(); ++i)
        for (std::size_t j = i + 1; j < items.size(); ++j)
            fuzz_require(!kest::text::equals_ignoring_ascii_case(items[i], items[j]));
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

bool starts_with_ignoring_ascii_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           kest::text::equals_ignoring_ascii_case(text.substr(0, prefix.size()), prefix);
}

// A folder rule takes every program below it, so it must name more than a drive and more than
// one of the top folders every machine fills with unrelated programs.
void check_folder(std::string_view folder, const PlanList& exe_paths) {
    bool of_a_path = std::any_of(exe_paths.begin(), exe_paths.end(), [&](const std::string& p) {
        return starts_with_ignoring_ascii_case(p, folder) && p.size() > folder.size() &&
               is_separator(p[folder.size()]);
    });
    fuzz_require(of_a_path);

    std::string_view rest = folder;
    if (rest.size() >= 2 && rest[1] == ':' && kest::text::ascii_lower(rest[0]) >= 'a' &&
        kest::text::ascii_lower(rest[0]) <= 'z')
        rest.remove_prefix(2);
    std::vector<std::string_view> parts;
    while (!rest.empty()) {
        std::size_t end = rest.find_first_of("\\/");
        if (end != 0)
            parts.push_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    fuzz_require(!parts.empty());
    if (parts.size() == 1) {
        static constexpr std::array<std::string_view, 5> kTopFolders = {
            "program files", "program files (x86)", "users", "windows", "programdata"};
        for (std::string_view top : kTopFolders)
            fuzz_require(!kest::text::equals_ignoring_ascii_case(parts.front(), top));
    }
}

void check_plan(const ConnectParams& params, const RoutePlan& plan) {
    fuzz_require(plan == kest::vpn::build_route_plan(params));
    fuzz_require(plan.selected_mode == (params.mode == "selected"));
    fuzz_require(plan.ru_preset ==
                 std::any_of(params.sites.begin(), params.sites.end(),
                             [](const std::string& s) { return s == kest::vpn::kRuPresetToken; }));

    for (const PlanList* list : {&plan.process_names, &plan.exe_paths, &plan.folders, &plan.domains,
                                 &plan.domain_suffixes, &plan.ip_cidrs, &plan.geosite_names})
        check_no_repeats(*list);

    for (const std::string& path : plan.exe_paths) {
        fuzz_require(!path.empty() && !kest::is_own_executable(path));
        fuzz_require(std::any_of(params.apps.begin(), params.apps.end(),
                                 [&](const RoutingApp& app) { return app.exe_path == path; }));
    }
    for (const RoutingApp& app : params.apps) {
        bool listed =
            std::any_of(plan.exe_paths.begin(), plan.exe_paths.end(), [&](const std::string& p) {
                return kest::text::equals_ignoring_ascii_case(p, app.exe_path);
            });
        fuzz_require(listed == (!app.exe_path.empty() && !kest::is_own_executable(app.exe_path)));
    }
    for (const std::string& name : plan.process_names) {
        fuzz_require(!name.empty() && name != "." && kest::text::file_name_of(name) == name);
        fuzz_require(
            std::any_of(plan.exe_paths.begin(), plan.exe_paths.end(), [&](const std::string& p) {
                return kest::text::equals_ignoring_ascii_case(kest::text::file_name_of(p), name);
            }));
    }
    for (const std::string& folder : plan.folders)
        check_folder(folder, plan.exe_paths);

    fuzz_require(plan.domains.size() == plan.domain_suffixes.size());
    for (std::size_t i = 0; i < plan.domains.size(); ++i) {
        const std::string& domain = plan.domains.items()[i];
        fuzz_require(!domain.empty() && domain.front() != '.' && domain.back() != '.');
        fuzz_require(kest::text::to_lower(domain) == domain);
        fuzz_require(plan.domain_suffixes.items()[i] == "." + domain);
    }
    for (std::string_view range : plan.ip_cidrs) {
        auto slash = range.find('/');
        fuzz_require(slash != std::string_view::npos);
        fuzz_require(kest::text::is_ip_text(range.substr(0, slash)));
        fuzz_require(kest::text::is_ascii_digits(range.substr(slash + 1)));
    }
    for (const std::string& site : params.sites)
        if (kest::text::is_ipv4_text(site))
            fuzz_require(std::find(plan.ip_cidrs.begin(), plan.ip_cidrs.end(), site + "/32") !=
                         plan.ip_cidrs.end());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto params =
        request_params(std::string_view(reinterpret_cast<const char*>(data), size), "connect");
    if (!params)
        return 0;

    auto decoded = kest::vpn::decode_connect_params(*params);
    auto expected = expected_params(*params);
    fuzz_require(decoded.has_value() == expected.has_value());

    Json reply = kest::vpn::handle_connect(*params, recording_controller(), no_system_proxy);
    std::vector<kest::vpn::VpnCommand> commands;
    {
        std::lock_guard lock(recorded().mutex);
        commands.swap(recorded().commands);
    }

    if (!decoded) {
        const std::string& error = decoded.error();
        fuzz_require(kest::json::without_position(error) == error);
        if (!params->is_object() && !params->is_array())
            fuzz_require(error.find("expected struct ConnectParams") != std::string::npos);
        fuzz_require(commands.empty());
        fuzz_require(
            reply ==
            Json({{"error", error}, {"ok", false}, {"toast_key", kest::vpn::kToastBadConfig}}));
        return 0;
    }

    fuzz_require(same(*decoded, *expected));
    fuzz_require(reply == Json({{"foreign_proxy", ""}, {"ok", true}}));
    fuzz_require(commands.size() == 1);
    const auto& command = commands.front();
    fuzz_require(command.kind == (decoded->reload ? kest::vpn::CommandKind::Apply
                                                  : kest::vpn::CommandKind::Connect));
    fuzz_require(command.link == decoded->link);
    check_plan(*decoded, command.plan);
    return 0;
}
