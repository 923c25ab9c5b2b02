#include <cstring>
#include <cwchar>

#include "platform/adapters.h"
#include "platform/win32/windows_api.h"

#include <iphlpapi.h>

namespace kest::platform {
namespace {

std::optional<SocketAddressRecord> dns_entry(const IP_ADAPTER_DNS_SERVER_ADDRESS* d) {
    const sockaddr* sa = d->Address.lpSockaddr;
    if (sa == nullptr)
        return std::nullopt;
    SocketAddressRecord r;
    r.family = sa->sa_family;
    if (sa->sa_family == AF_INET && d->Address.iSockaddrLength >= int(sizeof(sockaddr_in)))
        std::memcpy(r.bytes.data(), &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, 4);
    else if (sa->sa_family == AF_INET6 && d->Address.iSockaddrLength >= int(sizeof(sockaddr_in6)))
        std::memcpy(r.bytes.data(), &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr, 16);
    return r;
}

} // namespace

std::string default_resolver_config_path() {
    return "";
}

AdapterCall get_adapters_addresses(std::size_t buffer_size, const std::string&) {
    // Whole 8-byte words: the records the call writes into the buffer need that alignment.
    std::vector<std::uint64_t> words((buffer_size + 7) / 8, 0);
    ULONG size = static_cast<ULONG>(buffer_size);
    auto* head = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(words.data());
    ULONG flags = GAA_FLAG_SKIP_UNICAST | GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST;
    ULONG rc = GetAdaptersAddresses(AF_UNSPEC, flags, nullptr, head, &size);
    AdapterCall call;
    if (rc == ERROR_BUFFER_OVERFLOW) {
        call.status = AdapterCallStatus::BufferOverflow;
        call.needed_size = size;
        return call;
    }
    if (rc != ERROR_SUCCESS)
        return call;
    call.status = AdapterCallStatus::Ok;
    for (const IP_ADAPTER_ADDRESSES* a = head; a != nullptr; a = a->Next) {
        AdapterRecord record;
        record.oper_status = static_cast<std::uint32_t>(a->OperStatus);
        if (a->FriendlyName != nullptr)
            record.friendly_name = std::u16string(
                reinterpret_cast<const char16_t*>(a->FriendlyName), std::wcslen(a->FriendlyName));
        for (const IP_ADAPTER_DNS_SERVER_ADDRESS* d = a->FirstDnsServerAddress; d != nullptr;
             d = d->Next)
            record.dns_servers.push_back(dns_entry(d));
        call.adapters.push_back(std::move(record));
    }
    return call;
}

} // namespace kest::platform
