#pragma once
// The system's IPv4 TCP connection table with the owning process of each row, and the one
// change the core makes to it: deleting a connection.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace kest::platform {

// The row state that asks the system to drop a connection.
inline constexpr std::uint32_t kTcpStateDeleteTcb = 12;

// One row as the system lays it out: addresses and ports exactly as stored (network order).
struct TcpRow {
    std::uint32_t state = 0;
    std::uint32_t local_addr = 0;
    std::uint32_t local_port = 0;
    std::uint32_t remote_addr = 0;
    std::uint32_t remote_port = 0;
    std::uint32_t owning_pid = 0;

    bool operator==(const TcpRow&) const = default;
};

// One call of the table query: with buffer empty it only reports the size it needs. `size` is
// the size the system reported (or left), `ok` whether the buffer now holds the table.
struct TcpTableAnswer {
    bool ok = false;
    std::uint32_t size = 0;
};
using TcpTableQuery = std::function<TcpTableAnswer(std::span<std::uint8_t> buffer)>;

// The system's query: all IPv4 rows with their owners, unsorted. POSIX has no such table and
// reports a size of 0.
TcpTableAnswer query_ipv4_tcp_table(std::span<std::uint8_t> buffer);

// Sets a connection's state (the owner field is not part of the request); true on success.
// POSIX cannot delete a connection of another process this way and answers false.
bool set_tcp_entry(const TcpRow& row);

// The table in two queries, never a third: one for the size (0 means no table), one into a
// buffer of that size rounded up to a multiple of 4. None when either ends the work.
std::optional<std::vector<std::uint8_t>> read_tcp_table(const TcpTableQuery& query);

// The rows of a table laid out as a 32-bit count followed by the rows, six 32-bit fields each,
// in the machine's own byte order; rows the buffer does not hold in full are not read.
std::vector<TcpRow> decode_tcp_table(std::span<const std::uint8_t> table);

} // namespace kest::platform
