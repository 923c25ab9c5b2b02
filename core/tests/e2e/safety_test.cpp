// What the core starts and what it opens to others: the engine by its own full path, with its
// configuration as one intact argument; the control interface on the loopback address behind a
// secret nobody can guess; and the traffic request kept off every proxy.
#include <filesystem>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "connect_fixture.h"
#include "net/http_agent.h"
#include "net/http_profiles.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/process_image.h"
#include "support/file_lines.h"
#include "support/program_copy.h"
#include "support/proxy_server.h"
#include "support/wine.h"
#include "text/path_text.h"

#ifdef _WIN32
#include "platform/win32/windows_api.h"

#include <shellapi.h>
#include <winternl.h>
#endif

namespace kest::testing {
namespace {

const Json kUp = Json::parse(R"({"foreign_proxy":"","ok":true})");

// Mode "selected" with a site: the tunnel probe, which looks beyond this machine, never runs.
Json selected(bool reload = false) {
    return {{"link", kLink}, {"mode", "selected"}, {"sites", {"example.com"}}, {"reload", reload}};
}

bool on_windows() {
    return platform::path_separator() == '\\';
}

std::string file_text(const std::string& path) {
    auto text = platform::read_file(path);
    return text ? *text : std::string();
}

std::filesystem::path fs_path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The test's current folder, and so the core's, for one scope.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder)
        : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(fs_path(folder));
    }
    ~ScopedCurrentFolder() { std::filesystem::current_path(saved_); }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

private:
    std::filesystem::path saved_;
};

// What the engine double noted about its run (KEST_DOUBLE_RECORD).
struct EngineRecord {
    Json args;               // its arguments, the program left out
    std::uint32_t pid = 0;   // its process id
    std::vector<Json> input; // every line it read on standard input
};

std::optional<EngineRecord> read_record(const std::string& path) {
    std::vector<Json> lines;
    for (const std::string& text : file_lines(path))
        lines.push_back(Json::parse(text, nullptr, false));
    if (lines.size() < 2 || !lines[1].is_object())
        return std::nullopt;
    return EngineRecord{lines[0], lines[1].value("pid", std::uint32_t(0)),
                        std::vector<Json>(lines.begin() + 2, lines.end())};
}

#ifdef _WIN32
// The command line the system keeps for a running process, read from its process parameters.
std::optional<std::wstring> raw_command_line(std::uint32_t pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process)
        return std::nullopt;
    using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    auto read = [&](const void* from, void* to, std::size_t size) {
        SIZE_T got = 0;
        return ReadProcessMemory(process, from, to, size, &got) && got == size;
    };
    std::optional<std::wstring> line;
    PROCESS_BASIC_INFORMATION basic{};
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (query && query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) >= 0 &&
        read(basic.PebBaseAddress, &peb, sizeof peb) &&
        read(peb.ProcessParameters, &parameters, sizeof parameters)) {
        std::wstring text(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
        if (read(parameters.CommandLine.Buffer, text.data(), parameters.CommandLine.Length))
            line = std::move(text);
    }
    CloseHandle(process);
    return line;
}

// Values of the user's Internet settings changed for one scope and put back afterwards (the
// settings key holds other keys, so it cannot simply be removed the way a fixture key is).
class ScopedInternetSettings {
public:
    ScopedInternetSettings() = default;
    ~ScopedInternetSettings() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->type == REG_NONE)
                RegDeleteKeyValueW(HKEY_CURRENT_USER, kPath, it->name.c_str());
            else
                RegSetKeyValueW(HKEY_CURRENT_USER, kPath, it->name.c_str(), it->type,
                                it->data.data(), static_cast<DWORD>(it->data.size()));
        }
    }
    ScopedInternetSettings(const ScopedInternetSettings&) = delete;
    ScopedInternetSettings& operator=(const ScopedInternetSettings&) = delete;

    bool set_dword(const std::wstring& name, DWORD value) {
        return set(name, REG_DWORD, &value, sizeof value);
    }
    bool set_string(const std::wstring& name, const std::wstring& value) {
        return set(name, REG_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
    }

private:
    static constexpr const wchar_t* kPath =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    struct Saved {
        std::wstring name;
        DWORD type = REG_NONE; // REG_NONE: there was no such value
        std::vector<BYTE> data;
    };

    bool set(const std::wstring& name, DWORD type, const void* data, std::size_t size) {
        Saved old{name, REG_NONE, {}};
        DWORD old_size = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, kPath, name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                         &old.type, nullptr, &old_size) == ERROR_SUCCESS) {
            old.data.resize(old_size);
            if (RegGetValueW(HKEY_CURRENT_USER, kPath, name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                             &old.type, old.data.data(), &old_size) != ERROR_SUCCESS)
                return false;
        } else {
            old.type = REG_NONE;
        }
        saved_.push_back(std::move(old));
        return RegSetKeyValueW(HKEY_CURRENT_USER, kPath, name.c_str(), type, data,
                               static_cast<DWORD>(size)) == ERROR_SUCCESS;
    }

    std::vector<Saved> saved_;
};
#endif

// A running process's program and arguments as the system holds them: on Windows its command
// line split by the rules every C runtime follows, elsewhere its argv. Empty when unreadable.
std::vector<std::string> system_argv(std::uint32_t pid) {
    std::vector<std::string> out;
#ifdef _WIN32
    auto line = raw_command_line(pid);
    if (!line)
        return out;
    int n = 0;
    wchar_t** parts = CommandLineToArgvW(line->c_str(), &n);
    if (!parts)
        return out;
    for (int i = 0; i < n; ++i)
        out.push_back(platform::win32::narrow(std::wstring(parts[i])));
    LocalFree(parts);
#else
    auto bytes = platform::read_file("/proc/" + std::to_string(pid) + "/cmdline");
    if (!bytes)
        return out;
    std::size_t start = 0;
    for (auto nul = bytes->find('\0'); nul != std::string::npos; nul = bytes->find('\0', start)) {
        out.push_back(bytes->substr(start, nul - start));
        start = nul + 1;
    }
#endif
    return out;
}

class Safety : public Connect {
protected:
    void SetUp() override {
        Connect::SetUp();
        env_.set("KEST_DOUBLE_RECORD", record_);
    }

    // Where the core's own engine lies: beside the core's copy.
    std::string engine_path() {
        return text::join_path(data_.join("bin"), platform::executable_file_name("vuvezozire"),
                               platform::path_separator());
    }

    std::string record_ = data_.join("record.txt");
};

TEST_F(Safety, TheEngineIsStartedByItsFullPathAndNeverLookedForElsewhere) {
    // Programs named like the engine and like the system's device tool, in the current folder
    // and in a folder on PATH. Each is a copy of a double that notes every run in calls.txt.
    std::string impostor_notes = data_.join("impostors");
    ASSERT_TRUE(platform::create_directories(impostor_notes));
    env_.set("KEST_PNPUTIL_DIR", impostor_notes);
    const std::string here = data_.join("current"), on_path = data_.join("on path");
    for (const std::string& folder : {here, on_path})
        for (const char* name : {"vuvezozire", "pnputil"})
            copy_program("pnputil", folder, name);
    env_.set("PATH", on_path + (on_windows() ? ";" : ":") + platform::get_env("PATH").value_or(""));
    ScopedCurrentFolder current(here);
    const std::string calls =
        text::join_path(impostor_notes, "calls.txt", platform::path_separator());

    // The engine beside the core is the one that runs, under its full path.
    start_core();
    send_connect(1, selected());
    EXPECT_EQ(result_of(1), kUp);
    EXPECT_FALSE(platform::file_exists(calls)) << file_text(calls);
    auto record = read_record(record_);
    ASSERT_TRUE(record) << "the engine beside the core did not run";
    EXPECT_EQ(record->args, Json::array({config_path()}));
    platform::ImagePathBuffer image;
    EXPECT_EQ(platform::process_image_path(record->pid, image), engine_path());
    EXPECT_EQ(system_argv(record->pid), (std::vector<std::string>{engine_path(), config_path()}));
    send(R"({"id":2,"method":"disconnect"})");
    EXPECT_EQ(result_of(2), Json::parse(R"({"ok":true})"));
    send(R"({"id":3,"method":"shutdown"})");
    EXPECT_EQ(core().wait_exit(), 0);
    EXPECT_FALSE(platform::file_exists(calls)) << file_text(calls);

    // Without it the start fails, naming the path it looked at; the clean-up that follows a
    // failed start (the engine's restore run, the device tool) finds no stand-in either.
    ASSERT_TRUE(platform::remove_file(engine_path()));
    ASSERT_TRUE(platform::remove_file(record_));
    start_core();
    send_connect(4, selected());
    Json failed = result_of(4);
    EXPECT_EQ(failed.value("ok", true), false) << failed;
    EXPECT_EQ(failed.value("error", ""), "движок не найден: " + engine_path()) << failed;
    send_connect(5, selected());
    EXPECT_EQ(result_of(5).value("ok", true), false);
    send(R"({"id":6,"method":"shutdown"})");
    EXPECT_EQ(core().wait_exit(), 0);
    EXPECT_FALSE(platform::file_exists(record_));
    EXPECT_FALSE(platform::file_exists(calls)) << file_text(calls);
}

TEST_F(Safety, TheConfigurationPathReachesTheEngineAsOneIntactArgument) {
    const std::string sep(1, platform::path_separator());
    // Names of the folder the core's data folder lies in. Windows allows neither double quotes
    // nor tabs in names; a trailing separator is how some systems give the variable.
    const std::vector<std::string> windows_names = {
        "with space",
        "it's O'Brien",
        "Пользователь ё",
        "Пользователь ё" + sep,
        " leading space" + sep + "a b",
        "100% & ^caret (x86) !x! %PATH%",
        "ünïcödé 日本 😀",
    };
    const std::vector<std::string> posix_names = {
        "with space", R"(say "hi")", R"(back\slash" quote\\ "x)",     "Пользователь ё" + sep,
        "tab\there",  "line\nbreak", "100% & ^caret $HOME `x` | ; *", "ünïcödé 日本 😀",
    };
    for (const std::string& name : on_windows() ? windows_names : posix_names) {
        SCOPED_TRACE(name);
        std::string appdata = data_.join(name);
        ASSERT_TRUE(platform::create_directories(appdata));
        ScopedEnv env("APPDATA", appdata);
        std::string folder = appdata;
        if (folder.back() == sep[0])
            folder.pop_back();
        const std::string expected = folder + sep + "Kest Connect" + sep + "vpn_config.json";
        (void)platform::remove_file(record_);

        start_core();
        send_connect(1, selected());
        EXPECT_EQ(result_of(1), kUp);
        auto record = read_record(record_);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->args, Json::array({expected}));
        EXPECT_EQ(system_argv(record->pid), (std::vector<std::string>{engine_path(), expected}));
        EXPECT_TRUE(platform::read_file(expected)) << "the configuration is where it was named";
        // The path a reload names, on the engine's input, is the same.
        send_connect(2, selected(true));
        EXPECT_EQ(result_of(2), kUp);
        record = read_record(record_);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->input,
                  (std::vector<Json>{Json{{"cmd", "reload"}, {"config", expected}}}));
        send(R"({"id":3,"method":"shutdown"})");
        EXPECT_EQ(core().wait_exit(), 0);
    }
}

// Every address of the configuration something listens on: the control interface's and any
// inbound's.
void collect_listen_addresses(const Json& value, std::vector<std::string>& out) {
    if (value.is_object()) {
        for (const auto& [key, item] : value.items()) {
            if ((key == "listen" || key == "external_controller") && item.is_string())
                out.push_back(item.get<std::string>());
            collect_listen_addresses(item, out);
        }
    } else if (value.is_array()) {
        for (const Json& item : value)
            collect_listen_addresses(item, out);
    }
}

TEST_F(Safety, TheControlInterfaceListensOnLoopbackOnlyBehindANewSecretEachTime) {
    env_.set("KEST_DOUBLE_CONNECTIONS_BODY", R"({"downloadTotal":3,"uploadTotal":4})");
    static const std::regex loopback(R"(^127\.0\.0\.1:([1-9][0-9]{0,4})$)");
    static const std::regex secret_form("^[0-9a-f]{64}$");
    std::set<std::string> secrets;
    std::uint64_t id = 1;
    // Two connects in each of two cores: no secret is made again, in one process or the next.
    for (int run = 0; run < 2; ++run) {
        start_core();
        for (int session = 0; session < 2; ++session, id += 3) {
            SCOPED_TRACE("core " + std::to_string(run) + ", session " + std::to_string(session));
            send_connect(id, selected());
            EXPECT_EQ(result_of(id), kUp);
            auto text = platform::read_file(config_path());
            ASSERT_TRUE(text);
            Json config = Json::parse(*text);
            std::vector<std::string> listening;
            collect_listen_addresses(config, listening);
            ASSERT_EQ(listening.size(), 1u) << "the control interface alone listens";
            std::smatch m;
            EXPECT_TRUE(std::regex_match(listening[0], m, loopback)) << listening[0];
            EXPECT_LE(std::stoul(m[1].str()), 65535u);
            std::string secret = config["experimental"]["clash_api"].value("secret", "");
            EXPECT_TRUE(std::regex_match(secret, secret_form)) << secret;
            EXPECT_TRUE(secrets.insert(secret).second) << "secret seen before: " << secret;
            // The core asks with that secret: the double answers nothing else.
            send(Json{{"id", id + 1}, {"method", "traffic"}}.dump());
            EXPECT_EQ(result_of(id + 1), Json::parse(R"({"down":3,"ok":true,"up":4})"));
            send(Json{{"id", id + 2}, {"method", "disconnect"}}.dump());
            EXPECT_EQ(result_of(id + 2), Json::parse(R"({"ok":true})"));
        }
        send(R"({"id":100,"method":"shutdown"})");
        EXPECT_EQ(core().wait_exit(), 0);
    }
    EXPECT_EQ(secrets.size(), 4u);
}

TEST_F(Safety, TheTrafficRequestNeverGoesThroughAProxy) {
    ProxyServer proxy;
    // Named "localhost": Wine's WinHTTP goes directly to a server whose host equals the proxy's,
    // which would hide a control request sent through the proxy.
    const std::string proxy_authority = "localhost:" + std::to_string(proxy.port());
    for (const char* name :
         {"ALL_PROXY", "all_proxy", "HTTPS_PROXY", "https_proxy", "HTTP_PROXY", "http_proxy"})
        env_.set(name, "http://" + proxy_authority);
    env_.set("NO_PROXY", std::nullopt);
    env_.set("no_proxy", std::nullopt);
    env_.set("KEST_DOUBLE_CONNECTIONS_BODY", R"({"downloadTotal":5,"uploadTotal":6})");
    std::string foreign;
#ifdef _WIN32
    // Under Wine the user's Internet settings name the same proxy too: the connect reply names
    // it, and the traffic request must not take it either. A real Windows is left alone.
    std::optional<ScopedInternetSettings> settings;
    if (running_under_wine()) {
        settings.emplace();
        foreign = proxy_authority;
        ASSERT_TRUE(settings->set_dword(L"ProxyEnable", 1));
        ASSERT_TRUE(settings->set_string(L"ProxyServer", platform::win32::wide(foreign)));
    }
#endif

    start_core();
    send_connect(1, selected());
    EXPECT_EQ(result_of(1), (Json{{"foreign_proxy", foreign}, {"ok", true}}));
    for (std::uint64_t id = 2; id < 5; ++id) {
        send(Json{{"id", id}, {"method", "traffic"}}.dump());
        EXPECT_EQ(result_of(id), Json::parse(R"({"down":5,"ok":true,"up":6})"));
    }
    EXPECT_EQ(proxy.connections(), 0);

    // The proxy is live and these variables do steer a client that honours them: a request
    // of the download profile to the same control interface goes through it.
    auto text = platform::read_file(config_path());
    ASSERT_TRUE(text);
    ControlValues control = control_values_of(*text);
    std::string url = "http://127.0.0.1:" + std::to_string(control.port) + "/connections";
    auto reply = net::make_http_agent(net::download_profile())
                     ->get(url, {{"Authorization", "Bearer " + control.secret}}, 1 << 20);
    ASSERT_TRUE(reply) << reply.error().message;
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(proxy.forwarded(), std::vector<std::string>{url});
    send(R"({"id":5,"method":"shutdown"})");
    EXPECT_EQ(core().wait_exit(), 0);
}

} // namespace
} // namespace kest::testing
