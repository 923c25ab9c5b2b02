#include "vpn/host/system_proxy.h"

#include <gtest/gtest.h>

#include "platform/env.h"
#include "support/registry_fixture.h"
#include "support/wine.h"

namespace kest::vpn {
namespace {

TEST(LoopbackProxyEntry, FindsTheFirstEntryOnThisMachine) {
    const struct {
        const char* server;
        std::optional<std::string> entry;
    } cases[] = {
        {"127.0.0.1:8080", "127.0.0.1:8080"},
        {"http=10.0.0.5:3128;https=127.0.0.1:8888", "127.0.0.1:8888"},
        {"[::1]:1080", "[::1]:1080"},
        {"[::ffff:127.0.0.1]:1080", std::nullopt}, // not ::1 itself
        {"::1", std::nullopt},                     // its host is what stands before the last ":"
        {"LOCALHOST:3128", "LOCALHOST:3128"},
        {"127.0.0.1", "127.0.0.1"},
        {"127.255.1.2:1", "127.255.1.2:1"},
        {"  socks= 127.0.0.2:1080 \t", "127.0.0.2:1080"},
        {"10.0.0.5:3128;;localhost:1", "localhost:1"},
        {"a=b=localhost:1", std::nullopt}, // only the first "=" splits: the host is "b=localhost"
        {"a=127.0.0.1:1=x", "127.0.0.1:1=x"},
        {"127.0.0.1.example:80", std::nullopt}, // the whole host must be the address
        {"localhost.example:80", std::nullopt},
        {"proxy.corp:8080;10.1.1.1:80", std::nullopt},
        {"128.0.0.1:80", std::nullopt},
        {"[[::1]]:8", "[[::1]]:8"},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(loopback_proxy_entry(c.server), c.entry) << c.server;
}

TEST(ProxyEnabled, OnlyANonZeroDwordOfFourBytesSwitchesTheProxyOn) {
    using platform::kRegDword;
    using platform::kRegSz;
    using platform::RegistryValue;
    const struct {
        std::optional<RegistryValue> value;
        bool enabled;
    } cases[] = {
        {RegistryValue{kRegDword, {1, 0, 0, 0}}, true},
        {RegistryValue{kRegDword, {0, 0, 0, 1}}, true},
        {RegistryValue{kRegDword, {0, 0, 0, 0, 1}}, false}, // little-endian: only four bytes
        {RegistryValue{kRegDword, {0, 0, 0, 0}}, false},
        {RegistryValue{kRegDword, {1, 0}}, false},
        {RegistryValue{kRegSz, {'1', 0, 0, 0}}, false},
        {RegistryValue{11, {1, 0, 0, 0, 0, 0, 0, 0}}, false}, // REG_QWORD
        {std::nullopt, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(proxy_enabled(cases[i].value), cases[i].enabled) << "case " << i;
}

TEST(LoopbackSystemProxy, ReadsTheUsersInternetSettings) {
    if (!testing::running_under_wine()) {
        // Natively there is no registry; on a real Windows the user's settings stay untouched.
        if (platform::path_separator() == '/') {
            EXPECT_EQ(loopback_system_proxy(), std::nullopt);
        }
        GTEST_SKIP() << "the settings are written only into a throw-away Wine prefix";
    }
    testing::RegistryFixture settings(
        platform::RegistryRoot::CurrentUser,
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings");
    ASSERT_TRUE(settings.ok());
    struct Value {
        std::string name;
        std::uint32_t type; // REG_DWORD: the text is the number
        std::string data;
    };
    const std::uint32_t dword = platform::kRegDword, sz = platform::kRegSz,
                        expand = platform::kRegExpandSz;
    const struct {
        const char* what;
        std::vector<Value> values;
        std::optional<std::string> proxy;
    } cases[] = {
        {"enabled loopback proxy",
         {{"ProxyEnable", dword, "1"}, {"ProxyServer", sz, "127.0.0.1:8080"}},
         "127.0.0.1:8080"},
        {"per-scheme list",
         {{"ProxyEnable", dword, "1"}, {"ProxyServer", sz, "http=10.0.0.5:3128;https=[::1]:8888"}},
         "[::1]:8888"},
        {"an expandable text is read, not expanded",
         {{"ProxyEnable", dword, "1"}, {"ProxyServer", expand, "%PROXY%:1;localhost:9"}},
         "localhost:9"},
        {"switched off",
         {{"ProxyEnable", dword, "0"}, {"ProxyServer", sz, "127.0.0.1:8080"}},
         std::nullopt},
        {"switched on as a string",
         {{"ProxyEnable", sz, "1"}, {"ProxyServer", sz, "127.0.0.1:8080"}},
         std::nullopt},
        {"a server stored as a number",
         {{"ProxyEnable", dword, "1"}, {"ProxyServer", dword, "127"}},
         std::nullopt},
        {"a proxy on another machine",
         {{"ProxyEnable", dword, "1"}, {"ProxyServer", sz, "10.0.0.5:3128"}},
         std::nullopt},
    };
    for (const auto& c : cases) {
        for (const auto& v : c.values)
            ASSERT_TRUE(v.type == dword ? settings.set_dword(v.name, std::stoul(v.data))
                                        : settings.set_string(v.name, v.data, v.type))
                << c.what;
        EXPECT_EQ(loopback_system_proxy(), c.proxy) << c.what;
    }
}

} // namespace
} // namespace kest::vpn
