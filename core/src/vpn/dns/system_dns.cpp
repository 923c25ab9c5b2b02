#include "vpn/dns/system_dns.h"

#include <algorithm>
#include <charconv>

#include "config/values.h"
#include "text/utf16.h"

namespace kest::vpn {
namespace {

struct Ipv4Network {
    text::Ipv4Bytes base{};
    int prefix = 32;

    bool contains(const text::Ipv4Bytes& a) const {
        auto value = [](const text::Ipv4Bytes& b) {
            return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 |
                   std::uint32_t(b[2]) << 8 | std::uint32_t(b[3]);
        };
        std::uint32_t mask = prefix == 0 ? 0 : ~std::uint32_t(0) << (32 - prefix);
        return (value(a) & mask) == (value(base) & mask);
    }
};

// The TUN network from the one place that names the TUN address ("a.b.c.d/n").
const Ipv4Network& tun_network() {
    static const Ipv4Network net = [] {
        std::string_view cidr = config::kTunAddress;
        std::size_t slash = cidr.find('/');
        Ipv4Network n;
        n.base = text::parse_ipv4_text(cidr.substr(0, slash)).value();
        std::string_view bits = cidr.substr(slash + 1);
        std::from_chars(bits.data(), bits.data() + bits.size(), n.prefix);
        return n;
    }();
    return net;
}

bool unusable(const text::Ipv4Bytes& a) {
    static const Ipv4Network link_local{{169, 254, 0, 0}, 16};
    static const Ipv4Network loopback{{127, 0, 0, 0}, 8};
    static const Ipv4Network multicast{{224, 0, 0, 0}, 4};
    return tun_network().contains(a) || link_local.contains(a) ||
           a == text::Ipv4Bytes{0, 0, 0, 0} || loopback.contains(a) || multicast.contains(a);
}

std::optional<text::Ipv4Bytes> as_ipv4(const text::IpAddress& address) {
    if (const auto* v4 = std::get_if<text::Ipv4Bytes>(&address))
        return *v4;
    const auto& v6 = std::get<text::Ipv6Bytes>(address);
    constexpr std::uint8_t mapped_prefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (!std::equal(std::begin(mapped_prefix), std::end(mapped_prefix), v6.begin()))
        return std::nullopt;
    return text::Ipv4Bytes{v6[12], v6[13], v6[14], v6[15]};
}

std::size_t rounded_to_words(std::size_t size) {
    return (size + 7) / 8 * 8;
}

} // namespace

std::vector<platform::AdapterRecord> list_adapters(const AdapterListingCall& call) {
    std::size_t size = adapter_buffer_first_size;
    for (int regrowths = 0;; ++regrowths) {
        platform::AdapterCall answer = call(size);
        if (answer.status == platform::AdapterCallStatus::Ok)
            return std::move(answer.adapters);
        if (answer.status != platform::AdapterCallStatus::BufferOverflow ||
            regrowths == adapter_buffer_regrowths)
            return {};
        size = rounded_to_words(answer.needed_size);
    }
}

DnsServerList dns_servers_of(const std::vector<platform::AdapterRecord>& adapters) {
    DnsServerList out;
    for (const platform::AdapterRecord& adapter : adapters) {
        if (adapter.oper_status != platform::oper_status_up)
            continue;
        if (adapter.friendly_name &&
            text::from_wide_nul(adapter.friendly_name->data(), adapter.friendly_name->size()) ==
                config::kTunInterfaceName)
            continue;
        for (const auto& entry : adapter.dns_servers) {
            if (!entry)
                continue;
            if (entry->family == platform::family_ipv4)
                out.emplace_back(text::Ipv4Bytes{entry->bytes[0], entry->bytes[1], entry->bytes[2],
                                                 entry->bytes[3]});
            else if (entry->family == platform::family_ipv6)
                out.emplace_back(entry->bytes);
        }
    }
    return out;
}

DnsServerList system_dns_servers(const std::string& resolver_config_path) {
    return dns_servers_of(list_adapters([&](std::size_t buffer_size) {
        return platform::get_adapters_addresses(buffer_size, resolver_config_path);
    }));
}

UsableDnsList usable_ipv4_dns(const DnsServerList& servers) {
    UsableDnsList out;
    for (const text::IpAddress& server : servers) {
        auto v4 = as_ipv4(server);
        if (!v4 || unusable(*v4))
            continue;
        if (std::find(out.begin(), out.end(), *v4) == out.end())
            out.push_back(*v4);
    }
    return out;
}

} // namespace kest::vpn
