#include "platform/net.h"

#include <gtest/gtest.h>
#include <thread>

namespace kest::platform {
namespace {

using namespace std::chrono_literals;

std::string receive(Socket& s, std::size_t n) {
    std::string got;
    char buf[64];
    while (got.size() < n) {
        auto r = s.recv(buf, sizeof buf, 2s);
        if (r.status != RecvStatus::Data)
            break;
        got.append(buf, r.bytes);
    }
    return got;
}

TEST(Socket, BindTestSeesAPortInUseAndFreedAgain) {
    auto port = free_loopback_port();
    ASSERT_TRUE(port);
    EXPECT_NE(*port, 0);
    {
        auto listener = listen_loopback(*port);
        ASSERT_TRUE(listener) << listener.error();
        EXPECT_EQ(listener->local_port(), *port);
        EXPECT_FALSE(can_bind_loopback(*port));
        EXPECT_FALSE(listen_loopback(*port));
    }
    EXPECT_TRUE(can_bind_loopback(*port));
}

TEST(Socket, CarriesBytesBothWaysAndReportsTimeOutsAndTheEnd) {
    auto listener = listen_loopback(0);
    ASSERT_TRUE(listener) << listener.error();
    auto client = connect_loopback(listener->local_port(), 2s);
    ASSERT_TRUE(client) << client.error();
    auto server = accept_connection(*listener, 2s);
    ASSERT_TRUE(server);

    char buf[64];
    EXPECT_EQ(server->recv(buf, sizeof buf, 50ms).status, RecvStatus::TimedOut);
    ASSERT_TRUE(client->send_all("ping"));
    EXPECT_EQ(receive(*server, 4), "ping");
    std::string big(1 << 20, 'b');
    std::thread sender([&] { EXPECT_TRUE(server->send_all(big)); });
    EXPECT_EQ(receive(*client, big.size()), big);
    sender.join();

    server->close();
    RecvStatus end;
    do
        end = client->recv(buf, sizeof buf, 2s).status;
    while (end == RecvStatus::Data);
    EXPECT_NE(end, RecvStatus::TimedOut);

    EXPECT_FALSE(accept_connection(*listener, 20ms)) << "no second client";
}

TEST(Socket, ConnectingToAClosedPortFails) {
    std::uint16_t port;
    {
        auto listener = listen_loopback(0);
        ASSERT_TRUE(listener);
        port = listener->local_port();
    }
    auto client = connect_loopback(port, 2s);
    EXPECT_FALSE(client);
}

} // namespace
} // namespace kest::platform
