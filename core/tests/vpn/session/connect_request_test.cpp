#include "vpn/session/connect_request.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/self_path.h"
#include "text/path_text.h"
#include "vpn/session/connect_plan.h"

namespace kest::vpn {
namespace {

using List = std::vector<std::string>;

// The worker's side of the request: it records every command it is given and answers each
// with the result the test chose.
struct StubWorker {
    struct Seen {
        CommandKind kind;
        std::string link;
        config::RoutePlan plan;
    };

    std::mutex mutex;
    std::vector<Seen> seen;
    CommandResult answer = Done{};

    std::shared_ptr<VpnController> controller() {
        auto record = [this](VpnController&, VpnCommand& command) -> CommandResult {
            std::lock_guard lock(mutex);
            seen.push_back({command.kind, command.link, command.plan});
            return answer;
        };
        return std::make_shared<VpnController>(
            StatusSink{[](VpnState, const std::string&) {}, [] {}}, CommandRunners{record, record});
    }
};

std::optional<std::string> no_proxy() {
    return std::nullopt;
}

// Runs one request through handle_connect and the real controller with a stub worker.
struct Connect {
    StubWorker worker;
    std::shared_ptr<VpnController> controller = worker.controller();

    Json reply(const std::string& params) {
        return handle_connect(Json::parse(params), controller, no_proxy);
    }
    const StubWorker::Seen& only_command() {
        EXPECT_EQ(worker.seen.size(), 1u);
        static const StubWorker::Seen none{CommandKind::Disconnect, "", {}};
        return worker.seen.empty() ? none : worker.seen.front();
    }
    config::RoutePlan plan_for(const Json& params) {
        Json r = handle_connect(params, controller, no_proxy);
        EXPECT_EQ(r, Json::parse(R"({"foreign_proxy":"","ok":true})")) << params;
        auto plan = only_command().plan;
        worker.seen.clear();
        return plan;
    }
};

TEST(ConnectRequest, ParametersThatDoNotDecodeAreAnsweredAsABadConfigWithoutACommand) {
    struct Case {
        const char* params;
        const char* error; // a part of the decoder's message
    };
    const Case cases[] = {
        {"null", "expected struct ConnectParams"},
        {"7", "expected struct ConnectParams"},
        {R"("vless://x")", "expected struct ConnectParams"},
        {"true", "expected struct ConnectParams"},
        {R"({"link":null})", "invalid type: null"},
        {R"({"mode":null})", "invalid type: null"},
        {R"({"link":5})", "invalid type: integer"},
        {R"({"reload":"true"})", "invalid type: string"},
        {R"({"sites":"example.com"})", "expected a sequence"},
        {R"({"sites":["a.com",1]})", "invalid type: integer"},
        {R"({"apps":{"name":"a"}})", "expected a sequence"},
        {R"({"apps":[5]})", "expected struct RoutingApp"},
        {R"({"apps":[{"exe_path":null}]})", "invalid type: null"},
        {R"({"apps":[["a","C:\\a.exe","icon"]]})",
         "invalid length 3, expected struct RoutingApp with 2 elements"},
        {R"(["l","m",[],[],false,"sixth"])",
         "invalid length 6, expected struct ConnectParams with 5 elements"},
    };
    for (const Case& c : cases) {
        Connect connect;
        Json reply = connect.reply(c.params);
        ASSERT_TRUE(reply.is_object()) << c.params;
        EXPECT_EQ(reply["ok"], false) << c.params;
        EXPECT_EQ(reply["toast_key"], "err_bad_config") << c.params;
        EXPECT_EQ(reply.size(), 3u) << c.params;
        std::string error = reply.value("error", "");
        EXPECT_NE(error.find(c.error), std::string::npos) << c.params << " -> " << error;
        EXPECT_EQ(error.find(" at line"), std::string::npos) << error;
        EXPECT_TRUE(connect.worker.seen.empty()) << c.params;
    }
}

TEST(ConnectRequest, BothParameterFormsReachTheWorkerWithTheirDefaults) {
    {
        Connect connect;
        EXPECT_EQ(connect.reply(R"([" vless://a@h:1 ","selected"])"),
                  Json::parse(R"({"foreign_proxy":"","ok":true})"));
        const auto& command = connect.only_command();
        EXPECT_EQ(command.kind, CommandKind::Connect);
        EXPECT_EQ(command.link, " vless://a@h:1 "); // passed on exactly as received
        config::RoutePlan expected;
        expected.selected_mode = true;
        EXPECT_EQ(command.plan, expected);
    }
    {
        Connect connect;
        connect.reply(R"({"link":"L","reload":true,"extra":{"deep":[1,{"x":null}]},
                          "apps":[["App","D:\\Games\\game.exe"],{"name":"B","icon":"data:x"}],
                          "sites":["example.com"]})");
        const auto& command = connect.only_command();
        EXPECT_EQ(command.kind, CommandKind::Apply);
        EXPECT_EQ(command.link, "L");
        EXPECT_EQ(command.plan.exe_paths.items(), List{"D:\\Games\\game.exe"});
        EXPECT_EQ(command.plan.domains.items(), List{"example.com"});
        EXPECT_FALSE(command.plan.selected_mode);
    }
    {
        Connect connect;
        connect.reply(R"(["L","",[],[],false])");
        EXPECT_EQ(connect.only_command().kind, CommandKind::Connect);
    }
}

TEST(ConnectRequest, OnlyTheExactModeNameSelects) {
    const std::pair<const char*, bool> cases[] = {
        {R"({"mode":"selected"})", true},
        {R"({"mode":"Selected"})", false},
        {R"({"mode":" selected"})", false},
        {R"({"mode":"selected "})", false},
        {R"({"mode":"everywhere"})", false},
        {R"({"mode":""})", false},
        {R"({})", false},
    };
    for (auto [params, selected] : cases) {
        Connect connect;
        EXPECT_EQ(connect.plan_for(Json::parse(params)).selected_mode, selected) << params;
    }
}

TEST(ConnectRequest, SitesBecomeRangesDomainsOrServices) {
    struct Case {
        List sites;
        List domains, suffixes, cidrs, geosites;
        bool ru_preset = false;
    };
    const Case cases[] = {
        // Addresses and ranges, written as given.
        {{" 10.0.0.1\t", "10.0.0.1"}, {}, {}, {"10.0.0.1/32"}, {}},
        {{"::1", "2001:db8::1", "::ffff:1.2.3.4"},
         {},
         {},
         {"::1/128", "2001:db8::1/128", "::ffff:1.2.3.4/128"},
         {}},
        {{"10.0.0.0/8", "10.0.0.0/99", "2001:DB8::/32", " 192.168.0.0/16 "},
         {},
         {},
         {"10.0.0.0/8", "10.0.0.0/99", "2001:DB8::/32", "192.168.0.0/16"},
         {}},
        // What only looks like an address is a domain name.
        {{"10.0.0.0/", "10.0.0.0/x", "010.0.0.1", "[::1]", "1.2.3.4:80", "10.0.0.0/8/8"},
         {"10.0.0.0/", "10.0.0.0/x", "010.0.0.1", "[::1]", "1.2.3.4:80", "10.0.0.0/8/8"},
         {".10.0.0.0/", ".10.0.0.0/x", ".010.0.0.1", ".[::1]", ".1.2.3.4:80", ".10.0.0.0/8/8"},
         {},
         {}},
        // Domain names: trimmed, dots stripped, lowercased, one entry per name.
        {{".Example.COM.", "example.com", "EXAMPLE.com", " \u00a0Пример.РФ "},
         {"example.com", "пример.рф"},
         {".example.com", ".пример.рф"},
         {},
         {}},
        {{"", "   ", "...", " .. "}, {}, {}, {}, {}},
        // The preset token, exactly as written.
        {{"preset:all_ru"}, {}, {}, {}, {}, true},
        {{" preset:all_ru", "PRESET:ALL_RU"}, {"preset:all_ru"}, {".preset:all_ru"}, {}, {}, false},
        // A known service adds its domains, ranges and rule sets, not its name.
        {{" Telegram ", "t.me"},
         {"telegram.org", "t.me", "telegram.me", "telegra.ph", "telesco.pe", "tdesktop.com"},
         {".telegram.org", ".t.me", ".telegram.me", ".telegra.ph", ".telesco.pe", ".tdesktop.com"},
         {"91.105.192.0/23", "91.108.4.0/22", "91.108.8.0/22", "91.108.12.0/22", "91.108.16.0/22",
          "91.108.20.0/22", "91.108.56.0/22", "149.154.160.0/20", "185.76.151.0/24"},
         {"telegram"}},
        {{"youtube", "ютуб"},
         {"youtube.com", "youtu.be", "ytimg.com", "googlevideo.com", "youtube-nocookie.com"},
         {".youtube.com", ".youtu.be", ".ytimg.com", ".googlevideo.com", ".youtube-nocookie.com"},
         {},
         {"youtube", "google"}},
    };
    for (const Case& c : cases) {
        Connect connect;
        auto plan = connect.plan_for(Json{{"sites", c.sites}});
        std::string label = Json(c.sites).dump();
        EXPECT_EQ(plan.domains.items(), c.domains) << label;
        EXPECT_EQ(plan.domain_suffixes.items(), c.suffixes) << label;
        EXPECT_EQ(plan.ip_cidrs.items(), c.cidrs) << label;
        EXPECT_EQ(plan.geosite_names.items(), c.geosites) << label;
        EXPECT_EQ(plan.ru_preset, c.ru_preset) << label;
        EXPECT_TRUE(plan.process_names.empty() && plan.exe_paths.empty() && plan.folders.empty());
    }
}

TEST(ConnectRequest, ServiceWithoutDomainsAddsTheSiteTextBesideItsRangesAndRuleSets) {
    config::Service bare{"bare", "Bare", {}, {}, {"203.0.113.0/24"}, {"bare", "other"}};
    config::Service full{"full", "Full", {}, {"full.example", "cdn.example"}, {}, {"full"}};
    List looked_up;
    auto lookup = [&](std::string_view name) -> const config::Service* {
        looked_up.emplace_back(name);
        if (name == " Bare ")
            return &bare;
        if (name == "full")
            return &full;
        return nullptr;
    };
    ConnectParams params;
    params.sites = {" Bare ", "full", "cdn.example", "10.1.1.1"};
    auto plan = build_route_plan(params, lookup);
    EXPECT_EQ(looked_up, (List{" Bare ", "full", "cdn.example"})); // untrimmed; addresses never
    EXPECT_EQ(plan.domains.items(), (List{"bare", "full.example", "cdn.example"}));
    EXPECT_EQ(plan.domain_suffixes.items(), (List{".bare", ".full.example", ".cdn.example"}));
    EXPECT_EQ(plan.ip_cidrs.items(), (List{"203.0.113.0/24", "10.1.1.1/32"}));
    EXPECT_EQ(plan.geosite_names.items(), (List{"bare", "other", "full"}));
}

TEST(ConnectRequest, ApplicationsGiveTheirNameAndPathAndAFolderOutsideTheTopFolders) {
    struct Case {
        const char* exe_path;
        List names, paths, folders;
    };
    const Case cases[] = {
        {R"(C:\Program Files\App\app.exe)",
         {"app.exe"},
         {R"(C:\Program Files\App\app.exe)"},
         {R"(C:\Program Files\App)"}},
        {R"(C:\Program Files\app.exe)", {"app.exe"}, {R"(C:\Program Files\app.exe)"}, {}},
        {R"(c:\PROGRAM FILES (X86)\app.exe)",
         {"app.exe"},
         {R"(c:\PROGRAM FILES (X86)\app.exe)"},
         {}},
        {R"(C:\Windows\notepad.exe)", {"notepad.exe"}, {R"(C:\Windows\notepad.exe)"}, {}},
        {R"(C:\Users\x.exe)", {"x.exe"}, {R"(C:\Users\x.exe)"}, {}},
        {R"(C:/ProgramData//tool.exe)", {"tool.exe"}, {R"(C:/ProgramData//tool.exe)"}, {}},
        {R"(C:\app.exe)", {"app.exe"}, {R"(C:\app.exe)"}, {}},
        {R"(\app.exe)", {"app.exe"}, {R"(\app.exe)"}, {}},
        {R"(C:\\app.exe)", {"app.exe"}, {R"(C:\\app.exe)"}, {}},
        {R"(D:\Games\game.exe)", {"game.exe"}, {R"(D:\Games\game.exe)"}, {R"(D:\Games)"}},
        {R"(C:\Users\me\AppData\a.exe)",
         {"a.exe"},
         {R"(C:\Users\me\AppData\a.exe)"},
         {R"(C:\Users\me\AppData)"}},
        {"/opt/tool/bin/run", {"run"}, {"/opt/tool/bin/run"}, {"/opt/tool/bin"}},
        {"./run", {"run"}, {"./run"}, {}},
        {"app.exe", {"app.exe"}, {"app.exe"}, {}},
        {R"(D:\Games\)", {}, {R"(D:\Games\)"}, {R"(D:\Games)"}},
        {".", {}, {"."}, {}},
        {"", {}, {}, {}},
    };
    for (const Case& c : cases) {
        Connect connect;
        auto plan = connect.plan_for(Json{{"apps", Json::array({{{"exe_path", c.exe_path}}})}});
        EXPECT_EQ(plan.process_names.items(), c.names) << c.exe_path;
        EXPECT_EQ(plan.exe_paths.items(), c.paths) << c.exe_path;
        EXPECT_EQ(plan.folders.items(), c.folders) << c.exe_path;
        EXPECT_TRUE(plan.domains.empty() && plan.ip_cidrs.empty());
    }
}

TEST(ConnectRequest, ApplicationsDifferingInAsciiCaseKeepTheFirstFormAndOwnExecutablesStayOut) {
    auto self = platform::own_executable_path();
    ASSERT_TRUE(self);
    std::string folder = self->substr(0, self->size() - text::file_name_of(*self).size());
    Connect connect;
    Json apps = Json::array({
        {{"exe_path", folder + "kestcore"}},
        {{"exe_path", R"(D:\Games\Game.exe)"}},
        {{"exe_path", folder + "VUVEZOZIRE.exe"}},
        {{"exe_path", R"(d:\games\game.EXE)"}},
        {{"exe_path", folder + "tool.exe"}},
    });
    auto plan = connect.plan_for(Json{{"apps", apps}});
    EXPECT_EQ(plan.process_names.items(), (List{"Game.exe", "tool.exe"}));
    EXPECT_EQ(plan.exe_paths.items(), (List{R"(D:\Games\Game.exe)", folder + "tool.exe"}));
    ASSERT_EQ(plan.folders.size(), 2u);
    EXPECT_EQ(plan.folders.items()[0], R"(D:\Games)");
}

TEST(ConnectRequest, EachOutcomeGetsItsReplyAndTheFirstMatchingToastKey) {
    struct Case {
        CommandResult result;
        const char* reply;
    };
    const Case cases[] = {
        {Done{}, R"({"foreign_proxy":"127.0.0.1:8080","ok":true})"},
        {Superseded{}, R"({"ok":false,"superseded":true})"},
        {Failed{{"config", "Permission Denied by policy"}},
         R"({"error":"Permission Denied by policy","ok":false,"toast_key":"err_no_permission_admin"})"},
        {Failed{{"start", "нет прав администратора; Object Already Exists"}},
         R"({"error":"нет прав администратора; Object Already Exists","ok":false,"toast_key":"err_no_permission_admin"})"},
        {Failed{{"config", "Cannot create a file when that file ALREADY EXISTS"}},
         R"({"error":"Cannot create a file when that file ALREADY EXISTS","ok":false,"toast_key":"err_adapter_busy"})"},
        {Failed{{"config", "bad route"}},
         R"({"error":"bad route","ok":false,"toast_key":"err_bad_config"})"},
        {Failed{{"Config", "bad route"}},
         R"({"error":"bad route","ok":false,"toast_key":"err_tunnel_failed"})"},
        {Failed{{"auth", ""}}, R"({"error":"","ok":false,"toast_key":"err_tunnel_failed"})"},
        {Failed{{"spawn", "access is denied"}},
         R"({"error":"access is denied","ok":false,"toast_key":"err_tunnel_failed"})"},
    };
    for (const Case& c : cases) {
        StubWorker worker;
        worker.answer = c.result;
        int proxy_asked = 0;
        auto proxy = [&]() -> std::optional<std::string> {
            ++proxy_asked;
            return "127.0.0.1:8080";
        };
        Json reply = handle_connect(Json::parse(R"({"link":"x"})"), worker.controller(), proxy);
        EXPECT_EQ(reply, Json::parse(c.reply));
        EXPECT_EQ(proxy_asked, std::holds_alternative<Done>(c.result) ? 1 : 0) << c.reply;
    }
}

} // namespace
} // namespace kest::vpn
