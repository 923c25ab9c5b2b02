#include "vpn/engine/api_client.h"

#include <gtest/gtest.h>

#include "support/http_server.h"

namespace kest::vpn {
namespace {

using testing::HttpServer;
using testing::ReceivedRequest;
using testing::Reply;

// Answers "/connections" like the engine: only with the right bearer secret.
void serve_connections(HttpServer& server, const std::string& secret, Reply ok) {
    server.set_fallback([secret, ok](const ReceivedRequest& req) {
        if (req.target != "/connections")
            return Reply::text(404, "");
        if (req.header("Authorization") != "Bearer " + secret)
            return Reply::text(401, "unauthorized");
        return ok;
    });
}

TEST(ApiClient, FetchesTheConnectionsBodyWithTheBearerSecret) {
    HttpServer server;
    const std::string body = R"({"downloadTotal":10,"uploadTotal":5,"connections":[]})";
    serve_connections(server, "abc123", Reply::text(200, body));

    auto fetched = fetch_connections_body(make_api_client("abc123", server.port()));
    EXPECT_EQ(fetched, body);
    EXPECT_EQ(fetch_connections_body(make_api_client("wrong", server.port())), std::nullopt);
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[0].header("Authorization"), "Bearer abc123");
}

TEST(ApiClient, AnythingButAComplete200AnswerGivesNothing) {
    HttpServer server;
    std::string padded = R"({"uploadTotal":1})" + std::string(connections_body_limit, ' ');
    server.route("/connections", Reply::text(200, padded));
    EXPECT_EQ(fetch_connections_body(make_api_client("s", server.port())), std::nullopt)
        << "over 10 MiB";

    std::string exact(connections_body_limit, ' ');
    server.route("/connections", Reply::text(200, exact));
    EXPECT_EQ(fetch_connections_body(make_api_client("s", server.port())), exact);

    server.route("/connections", Reply::text(204, ""));
    EXPECT_EQ(fetch_connections_body(make_api_client("s", server.port())), std::nullopt);
    server.route("/connections", Reply::text(500, "{}"));
    EXPECT_EQ(fetch_connections_body(make_api_client("s", server.port())), std::nullopt);
}

TEST(ApiClient, AnEmptySecretMakesNoRequest) {
    HttpServer server;
    serve_connections(server, "", Reply::text(200, "{}"));
    EXPECT_EQ(fetch_connections_body(make_api_client("", server.port())), std::nullopt);
    EXPECT_EQ(server.connections(), 0);
}

} // namespace
} // namespace kest::vpn
