// Whole configuration documents for representative sessions, compared with reviewed documents.
#include "config/config_file.h"

#include <gtest/gtest.h>

#include "config/engine_fixture.h"
#include "platform/fs.h"

namespace kest::config::testing {
namespace {

const char* const kVlessOutbound = R"({
  "type": "vless", "tag": "proxy", "server": "203.0.113.7", "server_port": 443,
  "uuid": "6f1c2b0e-8d55-4c3e-9a37-5b1f0c2d4e61", "packet_encoding": "xudp",
  "flow": "xtls-rprx-vision",
  "tls": {"enabled": true, "insecure": false, "server_name": "cdn.example.com",
          "utls": {"enabled": true, "fingerprint": "chrome"},
          "reality": {"enabled": true, "public_key": "pbk", "short_id": "0a1b"}}
})";

const char* const kHysteria2Outbound = R"({
  "type": "hysteria2", "tag": "proxy", "server": "hy.example.net", "server_port": 8443,
  "password": "pw", "tls": {"enabled": true, "server_name": "hy.example.net", "insecure": false}
})";

const char* const kNaiveOutbound = R"({
  "type": "naive", "tag": "proxy", "server": "2001:db8::10", "server_port": 443,
  "username": "user", "password": "pass", "tls": {"enabled": true, "server_name": "n.example.org"},
  "insecure_concurrency": 2
})";

const char* const kNaiveUdpOutbound = R"({
  "type": "naive", "tag": "proxy", "server": "198.51.100.20", "server_port": 443,
  "username": "user", "password": "pass", "tls": {"enabled": true, "server_name": "n.example.org"},
  "udp_over_tcp": {"enabled": true, "version": 2}, "insecure_concurrency": 2
})";

// Parts every document shares, spelled out once for the pretty documents below.
const char* const kDohHosts = R"(["dns.google", "dns.google.com", "dns64.dns.google",
  "cloudflare-dns.com", "one.one.one.one", "mozilla.cloudflare-dns.com",
  "dns.quad9.net", "dns9.quad9.net", "dns11.quad9.net",
  "dns.adguard.com", "dns.adguard-dns.com", "unfiltered.adguard-dns.com",
  "doh.opendns.com", "doh.familyshield.opendns.com", "dns.nextdns.io",
  "dns.mullvad.net", "doh.mullvad.net",
  "doh.cleanbrowsing.org", "family-filter-dns.cleanbrowsing.org",
  "security-filter-dns.cleanbrowsing.org"])";
const char* const kDohSuffixes = R"([".dns.google", ".dns.google.com", ".dns64.dns.google",
  ".cloudflare-dns.com", ".one.one.one.one", ".mozilla.cloudflare-dns.com",
  ".dns.quad9.net", ".dns9.quad9.net", ".dns11.quad9.net",
  ".dns.adguard.com", ".dns.adguard-dns.com", ".unfiltered.adguard-dns.com",
  ".doh.opendns.com", ".doh.familyshield.opendns.com", ".dns.nextdns.io",
  ".dns.mullvad.net", ".doh.mullvad.net",
  ".doh.cleanbrowsing.org", ".family-filter-dns.cleanbrowsing.org",
  ".security-filter-dns.cleanbrowsing.org"])";
const char* const kLocalSuffixes = R"([".local", ".localhost", ".localdomain", ".internal",
  ".lan", ".home.arpa", ".intranet", ".test"])";

class EngineDocument : public EngineConfigTest {
protected:
    // The file holds exactly the returned text, which is the compact form of expected.
    void expect_written(const Expected<std::string>& written, std::string expected) {
        ASSERT_TRUE(written) << written.error();
        auto file = platform::read_file(config_path_);
        ASSERT_TRUE(file) << file.error();
        EXPECT_EQ(*file, *written);

        replace_all(expected, "$DOH_HOSTS", kDohHosts);
        replace_all(expected, "$DOH_SUFFIXES", kDohSuffixes);
        replace_all(expected, "$LOCAL_SUFFIXES", kLocalSuffixes);
        Json want = Json::parse(with_paths(expected));
        EXPECT_EQ(Json::parse(*file).dump(2), want.dump(2));
        EXPECT_EQ(*file, *json::dump_compact(want));
    }
};

TEST_F(EngineDocument, EverywhereWithAnEmptyPlanIsWrittenByteForByte) {
    auto written = build_engine_config(Json::parse(kVlessOutbound), RoutePlan{}, inputs());
    ASSERT_TRUE(written) << written.error();
    std::string expected = with_paths(
        R"({"dns":{"final":"dns-remote","independent_cache":true,"rules":[)"
        R"({"action":"reject","query_type":["HTTPS","SVCB"]},)"
        R"({"domain":["localhost"],"domain_suffix":[".local",".localhost",".localdomain",)"
        R"(".internal",".lan",".home.arpa",".intranet",".test"],"server":"dns-local"},)"
        R"({"domain_suffix":["kestconnect.com","kestconnect.app"],"server":"dns-local"},)"
        R"({"query_type":["A","AAAA"],"rewrite_ttl":1,"server":"dns-fake"}],)"
        R"("servers":[{"detour":"proxy","server":"1.1.1.1","tag":"dns-remote","type":"https"},)"
        R"({"tag":"dns-local","type":"local"},)"
        R"({"inet4_range":"198.18.0.0/15","tag":"dns-fake","type":"fakeip"}],)"
        R"("strategy":"ipv4_only"},)"
        R"("experimental":{"cache_file":{"enabled":true,"path":"$DATA$SEPvpn_cache.db",)"
        R"("store_fakeip":true},"clash_api":{"external_controller":"127.0.0.1:9787",)"
        R"("secret":"00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"}},)"
        R"("inbounds":[{"address":["172.25.213.1/30"],"auto_route":true,)"
        R"("interface_name":"kesttun","mtu":1420,"stack":"mixed","strict_route":true,)"
        R"("tag":"tun-in","type":"tun"}],)"
        R"("log":{"level":"error"},)"
        R"("outbounds":[{"flow":"xtls-rprx-vision","packet_encoding":"xudp",)"
        R"("server":"203.0.113.7","server_port":443,"tag":"proxy","tls":{"enabled":true,)"
        R"("insecure":false,"reality":{"enabled":true,"public_key":"pbk","short_id":"0a1b"},)"
        R"("server_name":"cdn.example.com","utls":{"enabled":true,"fingerprint":"chrome"}},)"
        R"("type":"vless","uuid":"6f1c2b0e-8d55-4c3e-9a37-5b1f0c2d4e61"},)"
        R"({"tag":"direct","type":"direct"}],)"
        R"("route":{"auto_detect_interface":true,"default_domain_resolver":"dns-local",)"
        R"("final":"proxy","rules":[)"
        R"({"action":"sniff"},)"
        R"({"ip_cidr":["203.0.113.7"],"outbound":"direct"},)"
        R"({"domain_suffix":["kestconnect.com","kestconnect.app"],"outbound":"direct"},)"
        R"({"action":"hijack-dns","port":[53]},)"
        R"({"action":"hijack-dns","protocol":"dns"},)"
        R"({"action":"reject","ip_cidr":["198.18.0.0/15"]},)"
        R"({"domain":["localhost"],"domain_suffix":[".local",".localhost",".localdomain",)"
        R"(".internal",".lan",".home.arpa",".intranet",".test"],"outbound":"direct"},)"
        R"({"ip_is_private":true,"outbound":"direct"},)"
        R"({"action":"reject","ip_version":6},)"
        R"({"action":"reject","domain":["dns.google","dns.google.com","dns64.dns.google",)"
        R"("cloudflare-dns.com","one.one.one.one","mozilla.cloudflare-dns.com",)"
        R"("dns.quad9.net","dns9.quad9.net","dns11.quad9.net","dns.adguard.com",)"
        R"("dns.adguard-dns.com","unfiltered.adguard-dns.com","doh.opendns.com",)"
        R"("doh.familyshield.opendns.com","dns.nextdns.io","dns.mullvad.net",)"
        R"("doh.mullvad.net","doh.cleanbrowsing.org","family-filter-dns.cleanbrowsing.org",)"
        R"("security-filter-dns.cleanbrowsing.org"],"domain_suffix":[".dns.google",)"
        R"(".dns.google.com",".dns64.dns.google",".cloudflare-dns.com",".one.one.one.one",)"
        R"(".mozilla.cloudflare-dns.com",".dns.quad9.net",".dns9.quad9.net",)"
        R"(".dns11.quad9.net",".dns.adguard.com",".dns.adguard-dns.com",)"
        R"(".unfiltered.adguard-dns.com",".doh.opendns.com",".doh.familyshield.opendns.com",)"
        R"(".dns.nextdns.io",".dns.mullvad.net",".doh.mullvad.net",".doh.cleanbrowsing.org",)"
        R"(".family-filter-dns.cleanbrowsing.org",".security-filter-dns.cleanbrowsing.org"]},)"
        R"({"action":"reject","network":"udp","port":[135,137,138,139,5353]},)"
        R"({"action":"reject","ip_cidr":["224.0.0.0/3","ff00::/8"]},)"
        R"({"action":"reject","network":"udp","protocol":["quic"]}]}})");
    auto file = platform::read_file(config_path_);
    ASSERT_TRUE(file) << file.error();
    EXPECT_EQ(*file, expected);
    EXPECT_EQ(*written, expected);
}

TEST_F(EngineDocument, SelectedModeWithOneApplicationFoldersAndSites) {
    engine_log_ = "warn";
    add_rule_set("geosite-telegram.srs");
    RoutePlan plan;
    plan.selected_mode = true;
    plan.process_names.append("App.exe");
    plan.exe_paths.append("C:\\X\\App.exe");
    plan.folders.append("C:\\X");
    plan.domains.append("example.com");
    plan.domain_suffixes.append(".example.com");
    plan.ip_cidrs.append("10.0.0.0/8");
    plan.ip_cidrs.append("1.2.3.4/32");
    plan.geosite_names.append("telegram");

    auto written =
        build_engine_config(Json::parse(kHysteria2Outbound), plan, inputs(50123, "192.168.1.1"));
    expect_written(written, R"({
  "dns": {
    "final": "dns-local",
    "independent_cache": true,
    "rules": [
      {"action": "reject", "query_type": ["HTTPS", "SVCB"]},
      {"domain": ["localhost"], "domain_suffix": $LOCAL_SUFFIXES, "server": "dns-local"},
      {"domain_suffix": ["kestconnect.com", "kestconnect.app"], "server": "dns-local"},
      {"domain": ["example.com"], "domain_suffix": [".example.com"],
       "rewrite_ttl": 1, "server": "dns-fake"},
      {"rewrite_ttl": 1, "rule_set": ["geosite-telegram"], "server": "dns-fake"}
    ],
    "servers": [
      {"detour": "proxy", "server": "1.1.1.1", "tag": "dns-remote", "type": "https"},
      {"server": "192.168.1.1", "tag": "dns-local", "type": "udp"},
      {"inet4_range": "198.18.0.0/15", "tag": "dns-fake", "type": "fakeip"}
    ],
    "strategy": "ipv4_only"
  },
  "experimental": {
    "cache_file": {"enabled": true, "path": "$DATA$SEPvpn_cache.db", "store_fakeip": true},
    "clash_api": {
      "external_controller": "127.0.0.1:50123",
      "secret": "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"
    }
  },
  "inbounds": [
    {"address": ["172.25.213.1/30"], "auto_route": true, "interface_name": "kesttun",
     "mtu": 1420, "stack": "mixed", "strict_route": true, "tag": "tun-in", "type": "tun"}
  ],
  "log": {"level": "warn"},
  "outbounds": [
    {"password": "pw", "server": "hy.example.net", "server_port": 8443, "tag": "proxy",
     "tls": {"enabled": true, "insecure": false, "server_name": "hy.example.net"},
     "type": "hysteria2"},
    {"tag": "direct", "type": "direct"}
  ],
  "route": {
    "auto_detect_interface": true,
    "default_domain_resolver": "dns-local",
    "final": "direct",
    "rule_set": [
      {"format": "binary", "path": "$DATA$SEPgeo$SEPgeosite-telegram.srs",
       "tag": "geosite-telegram", "type": "local"}
    ],
    "rules": [
      {"action": "sniff"},
      {"domain": ["hy.example.net"], "outbound": "direct"},
      {"domain_suffix": ["kestconnect.com", "kestconnect.app"], "outbound": "direct"},
      {"action": "hijack-dns", "port": [53]},
      {"action": "hijack-dns", "protocol": "dns"},
      {"action": "reject", "ip_cidr": ["198.18.0.0/15"]},
      {"domain": ["localhost"], "domain_suffix": $LOCAL_SUFFIXES, "outbound": "direct"},
      {"ip_is_private": true, "outbound": "direct"},
      {"action": "reject", "ip_version": 6},
      {"action": "reject", "domain": $DOH_HOSTS, "domain_suffix": $DOH_SUFFIXES},
      {"action": "reject", "network": "udp", "process_name": ["App.exe", "app.exe"],
       "protocol": ["quic"]},
      {"outbound": "proxy", "process_name": ["App.exe", "app.exe"]},
      {"action": "reject", "network": "udp", "process_path": ["C:\\X\\App.exe"],
       "protocol": ["quic"]},
      {"outbound": "proxy", "process_path": ["C:\\X\\App.exe"]},
      {"action": "reject", "network": "udp",
       "process_path_regex": ["(?i)^C:\\\\X\\\\.*", "(?i)(?:^|\\\\)App\\.exe$"],
       "protocol": ["quic"]},
      {"outbound": "proxy",
       "process_path_regex": ["(?i)^C:\\\\X\\\\.*", "(?i)(?:^|\\\\)App\\.exe$"]},
      {"action": "reject", "domain": ["example.com"], "domain_suffix": [".example.com"],
       "network": "udp", "protocol": ["quic"]},
      {"domain": ["example.com"], "domain_suffix": [".example.com"], "outbound": "proxy"},
      {"action": "reject", "ip_cidr": ["1.2.3.4/32", "10.0.0.0/8"], "network": "udp",
       "protocol": ["quic"]},
      {"ip_cidr": ["1.2.3.4/32", "10.0.0.0/8"], "outbound": "proxy"},
      {"action": "reject", "network": "udp", "protocol": ["quic"],
       "rule_set": ["geosite-telegram"]},
      {"outbound": "proxy", "rule_set": ["geosite-telegram"]},
      {"action": "reject", "network": "udp", "port": [135, 137, 138, 139, 5353]},
      {"action": "reject", "ip_cidr": ["224.0.0.0/3", "ff00::/8"]}
    ]
  }
})");
}

TEST_F(EngineDocument, RuPresetWithOnlyTheAddressRuleSetPresent) {
    add_rule_set("geoip-ru.srs");
    RoutePlan plan;
    plan.ru_preset = true;

    auto written = build_engine_config(Json::parse(kNaiveUdpOutbound), plan, inputs());
    expect_written(written, R"({
  "dns": {
    "final": "dns-remote",
    "independent_cache": true,
    "rules": [
      {"action": "reject", "query_type": ["HTTPS", "SVCB"]},
      {"domain": ["localhost"], "domain_suffix": $LOCAL_SUFFIXES, "server": "dns-local"},
      {"domain_suffix": ["kestconnect.com", "kestconnect.app"], "server": "dns-local"},
      {"domain": ["yandex.ru", "vk.com", "mail.ru", "ozon.ru"],
       "domain_suffix": [".yandex.ru", ".vk.com", ".mail.ru", ".ozon.ru", ".ru", ".su",
                         ".xn--p1ai"],
       "server": "dns-local"},
      {"query_type": ["A", "AAAA"], "rewrite_ttl": 1, "server": "dns-fake"}
    ],
    "servers": [
      {"detour": "proxy", "server": "1.1.1.1", "tag": "dns-remote", "type": "https"},
      {"tag": "dns-local", "type": "local"},
      {"inet4_range": "198.18.0.0/15", "tag": "dns-fake", "type": "fakeip"}
    ],
    "strategy": "ipv4_only"
  },
  "experimental": {
    "cache_file": {"enabled": true, "path": "$DATA$SEPvpn_cache.db", "store_fakeip": true},
    "clash_api": {
      "external_controller": "127.0.0.1:9787",
      "secret": "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"
    }
  },
  "inbounds": [
    {"address": ["172.25.213.1/30"], "auto_route": true, "interface_name": "kesttun",
     "mtu": 1420, "stack": "mixed", "strict_route": true, "tag": "tun-in", "type": "tun"}
  ],
  "log": {"level": "error"},
  "outbounds": [
    {"insecure_concurrency": 2, "password": "pass", "server": "198.51.100.20",
     "server_port": 443, "tag": "proxy", "tls": {"enabled": true, "server_name": "n.example.org"},
     "type": "naive", "udp_over_tcp": {"enabled": true, "version": 2}, "username": "user"},
    {"tag": "direct", "type": "direct"}
  ],
  "route": {
    "auto_detect_interface": true,
    "default_domain_resolver": "dns-local",
    "final": "proxy",
    "rule_set": [
      {"format": "binary", "path": "$DATA$SEPgeo$SEPgeoip-ru.srs", "tag": "geoip-ru",
       "type": "local"}
    ],
    "rules": [
      {"action": "sniff"},
      {"ip_cidr": ["198.51.100.20"], "outbound": "direct"},
      {"domain_suffix": ["kestconnect.com", "kestconnect.app"], "outbound": "direct"},
      {"action": "hijack-dns", "port": [53]},
      {"action": "hijack-dns", "protocol": "dns"},
      {"action": "reject", "ip_cidr": ["198.18.0.0/15"]},
      {"domain": ["localhost"], "domain_suffix": $LOCAL_SUFFIXES, "outbound": "direct"},
      {"ip_is_private": true, "outbound": "direct"},
      {"action": "reject", "ip_version": 6},
      {"action": "reject", "domain": $DOH_HOSTS, "domain_suffix": $DOH_SUFFIXES},
      {"domain": ["yandex.ru", "vk.com", "mail.ru", "ozon.ru"],
       "domain_suffix": [".yandex.ru", ".vk.com", ".mail.ru", ".ozon.ru", ".ru", ".su",
                         ".xn--p1ai"],
       "outbound": "direct"},
      {"no_domain": true, "outbound": "direct", "rule_set": ["geoip-ru"]},
      {"action": "reject", "network": "udp", "port": [135, 137, 138, 139, 5353]},
      {"action": "reject", "ip_cidr": ["224.0.0.0/3", "ff00::/8"]},
      {"action": "reject", "network": "udp", "protocol": ["quic"]}
    ]
  }
})");
}

TEST_F(EngineDocument, CategoryRuleSetsPresentAndAbsentWithANaiveProxyWithoutUdp) {
    // The RU files exist but the preset is off, so they are not referenced.
    add_rule_set("geosite-category-ru.srs");
    add_rule_set("geoip-ru.srs");
    add_rule_set("geosite-telegram.srs");
    RoutePlan plan;
    plan.domain_suffixes.append(".example.org");
    plan.geosite_names.append("youtube");
    plan.geosite_names.append("telegram");

    auto written = build_engine_config(Json::parse(kNaiveOutbound), plan, inputs(0, "10.0.0.53"));
    expect_written(written, R"({
  "dns": {
    "final": "dns-remote",
    "independent_cache": true,
    "rules": [
      {"action": "reject", "query_type": ["HTTPS", "SVCB"]},
      {"domain": ["localhost"], "domain_suffix": $LOCAL_SUFFIXES, "server": "dns-local"},
      {"domain_suffix": ["kestconnect.com", "kestconnect.app"], "server": "dns-local"},
      {"domain": [], "domain_suffix": [".example.org"], "server": "dns-local"},
      {"rule_set": ["geosite-telegram"], "server": "dns-local"},
      {"query_type": ["A", "AAAA"], "rewrite_ttl": 1, "server": "dns-fake"}
    ],
    "servers": [
      {"detour": "proxy", "server": "1.1.1.1", "tag": "dns-remote", "type": "https"},
      {"server": "10.0.0.53", "tag": "dns-local", "type": "udp"},
      {"inet4_range": "198.18.0.0/15", "tag": "dns-fake", "type": "fakeip"}
    ],
    "strategy": "ipv4_only"
  },
  "experimental": {
    "cache_file": {"enabled": true, "path": "$DATA$SEPvpn_cache.db", "store_fakeip": true},
    "clash_api": {
      "external_controller": "127.0.0.1:0",
      "secret": "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"
    }
  },
  "inbounds": [
    {"address": ["172.25.213.1/30"], "auto_route": true, "interface_name": "kesttun",
     "mtu": 1420, "stack": "mixed", "strict_route": true, "tag": "tun-in", "type": "tun"}
  ],
  "log": {"level": "error"},
  "outbounds": [
    {"insecure_concurrency": 2, "password": "pass", "server": "2001:db8::10",
     "server_port": 443, "tag": "proxy", "tls": {"enabled": true, "server_name": "n.example.org"},
     "type": "naive", "username": "user"},
    {"tag": "direct", "type": "direct"}
  ],
  "route": {
    "auto_detect_interface": true,
    "default_domain_resolver": "dns-local",
    "final": "proxy",
    "rule_set": [
      {"format": "binary", "path": "$DATA$SEPgeo$SEPgeosite-telegram.srs",
       "tag": "geosite-telegram", "type": "local"}
    ],
    "rules": [
      {"action": "sniff"},
      {"ip_cidr": ["2001:db8::10"], "outbound": "direct"},
      {"domain_suffix": ["kestconnect.com", "kestconnect.app"], "outbound": "direct"},
      {"action": "hijack-dns", "port": [53]},
      {"action": "hijack-dns", "protocol": "dns"},
      {"action": "reject", "ip_cidr": ["198.18.0.0/15"]},
      {"domain": ["localhost"], "domain_suffix": $LOCAL_SUFFIXES, "outbound": "direct"},
      {"ip_is_private": true, "outbound": "direct"},
      {"action": "reject", "ip_version": 6},
      {"action": "reject", "domain": $DOH_HOSTS, "domain_suffix": $DOH_SUFFIXES},
      {"domain": [], "domain_suffix": [".example.org"], "outbound": "direct"},
      {"outbound": "direct", "rule_set": ["geosite-telegram"]},
      {"action": "reject", "network": "udp", "port": [135, 137, 138, 139, 5353]},
      {"action": "reject", "ip_cidr": ["224.0.0.0/3", "ff00::/8"]},
      {"action": "reject", "network": "udp"}
    ]
  }
})");
}

TEST_F(EngineDocument, AFailedWriteReturnsTheErrorAndKeepsThePreviousFile) {
    RoutePlan plan;
    Json outbound = Json::parse(kVlessOutbound);
    auto first = build_engine_config(outbound, plan, inputs());
    ASSERT_TRUE(first) << first.error();

    // The temporary file cannot be made while a folder has its name.
    ASSERT_TRUE(platform::create_directories(config_path_ + ".tmp"));
    plan.selected_mode = true;
    auto blocked = build_engine_config(outbound, plan, inputs());
    ASSERT_FALSE(blocked);
    EXPECT_FALSE(blocked.error().empty());
    EXPECT_EQ(*platform::read_file(config_path_), *first);

    // A parent folder cannot be made below a regular file.
    std::string below_file =
        text::join_path(config_path_, "vpn_config.json", platform::path_separator());
    ConfigInputs unreachable_inputs = inputs();
    unreachable_inputs.config_path = below_file;
    auto unreachable = build_engine_config(outbound, plan, unreachable_inputs);
    ASSERT_FALSE(unreachable);
    EXPECT_FALSE(unreachable.error().empty());
    EXPECT_EQ(*platform::read_file(config_path_), *first);
}

} // namespace
} // namespace kest::config::testing
