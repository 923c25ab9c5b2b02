#include "platform/tcp_table.h"

#include <cstring>

namespace kest::platform {
namespace {

constexpr std::size_t kFieldSize = sizeof(std::uint32_t);
constexpr std::size_t kRowSize = 6 * kFieldSize;

std::uint32_t field_at(std::span<const std::uint8_t> bytes, std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, kFieldSize);
    return value;
}

} // namespace

std::optional<std::vector<std::uint8_t>> read_tcp_table(const TcpTableQuery& query) {
    TcpTableAnswer sizing = query({});
    if (sizing.size == 0)
        return std::nullopt;
    std::size_t size = (std::size_t{sizing.size} + 3) / 4 * 4;
    std::vector<std::uint8_t> buffer(size, 0);
    // A table that grew since the first query fails here; the work ends rather than chase it.
    if (!query(buffer).ok)
        return std::nullopt;
    return buffer;
}

std::vector<TcpRow> decode_tcp_table(std::span<const std::uint8_t> table) {
    std::vector<TcpRow> rows;
    if (table.size() < kFieldSize)
        return rows;
    std::size_t count = field_at(table, 0);
    std::size_t fitting = (table.size() - kFieldSize) / kRowSize;
    if (count > fitting)
        count = fitting;
    rows.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = kFieldSize + i * kRowSize;
        rows.push_back({field_at(table, at), field_at(table, at + 4), field_at(table, at + 8),
                        field_at(table, at + 12), field_at(table, at + 16),
                        field_at(table, at + 20)});
    }
    return rows;
}

} // namespace kest::platform
