#include "platform/tcp_table.h"

#include "platform/win32/windows_api.h"
// After windows.h and winsock2.h, which they need.
#include <iphlpapi.h>

namespace kest::platform {

static_assert(sizeof(MIB_TCPROW_OWNER_PID) == 6 * sizeof(std::uint32_t),
              "the portable decoding reads six 32-bit fields per row");

TcpTableAnswer query_ipv4_tcp_table(std::span<std::uint8_t> buffer) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD rc = GetExtendedTcpTable(buffer.empty() ? nullptr : buffer.data(), &size, FALSE, AF_INET,
                                   TCP_TABLE_OWNER_PID_ALL, 0);
    return {rc == NO_ERROR && !buffer.empty(), size};
}

bool set_tcp_entry(const TcpRow& row) {
    MIB_TCPROW request{};
    request.dwState = row.state;
    request.dwLocalAddr = row.local_addr;
    request.dwLocalPort = row.local_port;
    request.dwRemoteAddr = row.remote_addr;
    request.dwRemotePort = row.remote_port;
    return SetTcpEntry(&request) == NO_ERROR;
}

} // namespace kest::platform
