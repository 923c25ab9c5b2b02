#include "platform/tcp_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/env.h"
#include "platform/net.h"
#include "platform/process_image.h"
#include "support/wine.h"

namespace kest::platform {
namespace {

using namespace std::chrono_literals;

// A table in the system's layout: the count, then six 32-bit fields per row.
std::vector<std::uint8_t> table_bytes(std::uint32_t count, const std::vector<TcpRow>& rows) {
    std::vector<std::uint32_t> fields{count};
    for (const auto& r : rows)
        fields.insert(fields.end(), {r.state, r.local_addr, r.local_port, r.remote_addr,
                                     r.remote_port, r.owning_pid});
    std::vector<std::uint8_t> bytes(fields.size() * 4);
    std::memcpy(bytes.data(), fields.data(), bytes.size());
    return bytes;
}

TEST(DecodeTcpTable, ReadsTheCountedRowsThatFitTheBuffer) {
    const TcpRow a{5, 0x0100007F, 0x5000, 0x0200007F, 0x1F90, 1234};
    const TcpRow b{2, 0, 0x3500, 0, 0, 4321};
    EXPECT_EQ(decode_tcp_table(table_bytes(2, {a, b})), (std::vector<TcpRow>{a, b}));
    // Padding after the counted rows (the buffer is rounded up) is not a row.
    auto padded = table_bytes(1, {a, b});
    EXPECT_EQ(decode_tcp_table(padded), (std::vector<TcpRow>{a}));
    // A count the buffer cannot hold reads only the whole rows there are.
    auto cut = table_bytes(3, {a, b});
    cut.resize(cut.size() - 1);
    EXPECT_EQ(decode_tcp_table(cut), (std::vector<TcpRow>{a}));
    EXPECT_TRUE(decode_tcp_table(table_bytes(0, {})).empty());
    EXPECT_TRUE(decode_tcp_table(std::vector<std::uint8_t>{1, 0}).empty());
}

// A scripted system query that records the buffer size of every call.
struct ScriptedQuery {
    std::vector<TcpTableAnswer> answers;
    std::vector<std::size_t> calls;

    TcpTableQuery query() {
        return [this](std::span<std::uint8_t> buffer) {
            calls.push_back(buffer.size());
            if (!buffer.empty())
                std::fill(buffer.begin(), buffer.end(), std::uint8_t{0xAB});
            return answers.at(calls.size() - 1);
        };
    }
};

TEST(ReadTcpTable, AsksForTheSizeThenReadsOnceIntoABufferRoundedUpToFourBytes) {
    ScriptedQuery system{{{false, 26}, {true, 26}}, {}};
    auto table = read_tcp_table(system.query());
    ASSERT_TRUE(table);
    EXPECT_EQ(system.calls, (std::vector<std::size_t>{0, 28}));
    EXPECT_EQ(table->size(), 28u);
}

TEST(ReadTcpTable, EndsWithoutATableAfterAZeroSizeOrAFailedSecondCall) {
    ScriptedQuery empty{{{false, 0}}, {}};
    EXPECT_FALSE(read_tcp_table(empty.query()));
    EXPECT_EQ(empty.calls.size(), 1u);
    // The table grew between the two calls: no third attempt.
    ScriptedQuery grown{{{false, 100}, {false, 124}, {true, 124}}, {}};
    EXPECT_FALSE(read_tcp_table(grown.query()));
    EXPECT_EQ(grown.calls, (std::vector<std::size_t>{0, 100}));
}

TEST(SystemTcpTable, HoldsOurOwnLoopbackConnectionWhereTheSystemHasATable) {
    auto listener = listen_loopback(0);
    ASSERT_TRUE(listener);
    auto client = connect_loopback(listener->local_port(), 5s);
    ASSERT_TRUE(client);
    auto server = accept_connection(*listener, 5s);
    ASSERT_TRUE(server);

    // The system's table changes all the time (under Wine it is the whole host's): a read that
    // lost the race between its two queries is taken again here.
    auto table = read_tcp_table(query_ipv4_tcp_table);
    for (int attempt = 0; !table && attempt < 50 && path_separator() == '\\'; ++attempt)
        table = read_tcp_table(query_ipv4_tcp_table);
    if (path_separator() == '/') {
        EXPECT_FALSE(table) << "POSIX has no table of this shape";
        return;
    }
    ASSERT_TRUE(table);
    // Ports are stored in network order in the low 16 bits.
    auto stored = [](std::uint16_t port) {
        return static_cast<std::uint32_t>(((port & 0xFF) << 8) | (port >> 8));
    };
    const std::uint32_t loopback = 0x0100007F; // 127.0.0.1 in network order
    // Wine reads the host's table and knows no owners: it reports process id 0 for every row.
    const std::uint32_t owner = testing::running_under_wine() ? 0 : current_process_id();
    bool listening = false, connected = false;
    for (const auto& row : decode_tcp_table(*table)) {
        if (row.local_port == stored(listener->local_port()) && row.remote_port == 0) {
            listening = true;
            EXPECT_EQ(row.owning_pid, owner);
            EXPECT_EQ(row.state, 2u) << "listening";
        }
        if (row.local_port == stored(client->local_port()) && row.local_addr == loopback &&
            row.remote_addr == loopback && row.remote_port == stored(listener->local_port())) {
            connected = true;
            EXPECT_EQ(row.owning_pid, owner);
            EXPECT_EQ(row.state, 5u) << "established";
        }
    }
    EXPECT_TRUE(listening);
    EXPECT_TRUE(connected);
}

} // namespace
} // namespace kest::platform
