#pragma once
// The fixed names and addresses written into every engine configuration, kept together so they
// can be reviewed in one place.
#include <array>
#include <string_view>

namespace kest::config {

// Registrable domains of four large Russian web services: the RU preset routes them together
// with the national top-level domains below.
inline constexpr std::array<std::string_view, 4> kRuPresetDomains = {
    "yandex.ru",
    "vk.com",
    "mail.ru",
    "ozon.ru",
};
inline constexpr std::array<std::string_view, 3> kRuPresetSuffixes = {".ru", ".su", ".xn--p1ai"};

// The product's own services stay reachable directly, whatever the tunnel does.
inline constexpr std::array<std::string_view, 2> kOwnServiceDomains = {
    "kestconnect.com",
    "kestconnect.app",
};

inline constexpr std::array<std::string_view, 1> kLocalhostNames = {"localhost"};
inline constexpr std::array<std::string_view, 8> kLocalDomainSuffixes = {
    ".local", ".localhost", ".localdomain", ".internal", ".lan", ".home.arpa", ".intranet", ".test",
};

// A public resolver that serves DNS-over-HTTPS on its bare IPv4 address, so the engine's remote
// DNS needs no name lookup of its own. The tunnel probe connects to the same address on 443.
inline constexpr std::string_view kPublicResolverAddress = "1.1.1.1";

// Hosts of public DNS-over-HTTPS services. Applications that bring their own encrypted DNS are
// refused there, so their lookups fall back to system DNS, which the engine answers.
inline constexpr std::array<std::string_view, 20> kDohProviderHosts = {
    // Google
    "dns.google",
    "dns.google.com",
    "dns64.dns.google",
    // Cloudflare
    "cloudflare-dns.com",
    "one.one.one.one",
    "mozilla.cloudflare-dns.com",
    // Quad9
    "dns.quad9.net",
    "dns9.quad9.net",
    "dns11.quad9.net",
    // AdGuard
    "dns.adguard.com",
    "dns.adguard-dns.com",
    "unfiltered.adguard-dns.com",
    // OpenDNS
    "doh.opendns.com",
    "doh.familyshield.opendns.com",
    // NextDNS
    "dns.nextdns.io",
    // Mullvad
    "dns.mullvad.net",
    "doh.mullvad.net",
    // CleanBrowsing
    "doh.cleanbrowsing.org",
    "family-filter-dns.cleanbrowsing.org",
    "security-filter-dns.cleanbrowsing.org",
};

// The TUN adapter the engine creates. System DNS discovery and the orphan clean-up recognise the
// adapter by these values.
inline constexpr std::string_view kTunInterfaceName = "kesttun";
inline constexpr std::string_view kTunAddress = "172.25.213.1/30";
inline constexpr int kTunMtu = 1420;

// The range the engine hands out fake addresses from in mode selected.
inline constexpr std::string_view kFakeIpRange = "198.18.0.0/15";

} // namespace kest::config
