#pragma once
// The system's network adapters with their DNS servers, as one call of GetAdaptersAddresses
// reports them (AF_UNSPEC; unicast, anycast and multicast addresses skipped). The records keep
// the call's raw values, so that deciding which of them count is portable logic.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/ip_address.h"

namespace kest::platform {

// Address families as the adapter listing numbers them.
inline constexpr int family_ipv4 = 2;              // AF_INET
inline constexpr int family_ipv6 = 23;             // AF_INET6 on Windows
inline constexpr std::uint32_t oper_status_up = 1; // IfOperStatusUp

// One DNS server entry: its socket address's family and address bytes (IPv4 in the first four,
// an IPv6 address without its scope), or none when the entry carries no socket address.
struct SocketAddressRecord {
    int family = 0;
    text::Ipv6Bytes bytes{};
};

struct AdapterRecord {
    std::uint32_t oper_status = 0;
    // UTF-16 units without the terminating 0; none when the adapter has no name pointer.
    std::optional<std::u16string> friendly_name;
    std::vector<std::optional<SocketAddressRecord>> dns_servers;
};

enum class AdapterCallStatus { Ok, BufferOverflow, Failed };

struct AdapterCall {
    AdapterCallStatus status = AdapterCallStatus::Failed;
    // For BufferOverflow: the size the call asked for.
    std::size_t needed_size = 0;
    // For Ok: the adapters in the call's order.
    std::vector<AdapterRecord> adapters;
};

// Where the system has no adapter listing (POSIX), the resolver configuration stands in for it.
std::string default_resolver_config_path();

// One call into a zero-filled buffer of buffer_size bytes. On Windows resolver_config_path is
// not read. On POSIX the answer is one adapter, up and without a name, whose DNS servers are
// the "nameserver" lines of the resolver configuration in order; an unreadable file is Failed.
AdapterCall get_adapters_addresses(std::size_t buffer_size,
                                   const std::string& resolver_config_path);

// The "nameserver" addresses of a resolver configuration text, in order: keyword at the start
// of a line, the address after blanks, an IPv6 scope ("%eth0") dropped; comment lines ("#",
// ";") and addresses that do not parse are passed over.
std::vector<SocketAddressRecord> resolver_config_nameservers(std::string_view text);

} // namespace kest::platform
