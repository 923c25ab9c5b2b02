// The failure line, read from a process that ran one pre-resolution.
#include <gtest/gtest.h>

#include "support/bin_dir.h"
#include "support/child_session.h"
#include "support/http_server.h"
#include "json/json.h"

namespace kest::vpn {
namespace {

using testing::ChildSession;
using testing::HttpServer;
using testing::Reply;

struct ChildRun {
    std::vector<std::string> out, err;
};

ChildRun preresolve_in_child(const std::string& outbound, const HttpServer& one,
                             const HttpServer& two) {
    ChildSession child(testing::program_path("preresolve_once"),
                       {outbound, one.url(""), two.url(""), "1000", "3000"});
    EXPECT_EQ(child.wait_exit(), 0);
    return {child.stdout_lines(), child.stderr_lines()};
}

TEST(PreresolveLog, NothingAnsweringLeavesTheOutboundAndLogsOneLine) {
    HttpServer one, two;
    one.route("/resolve", Reply::text(200, R"({"Answer":[]})"));
    two.route("/dns-query", Reply::text(502, ""));
    // ".invalid" names never resolve.
    const std::string outbound =
        R"({"server":"nowhere.invalid","server_port":443,"tag":"proxy","tls":{"enabled":true}})";
    ChildRun run = preresolve_in_child(outbound, one, two);
    EXPECT_EQ(run.out, std::vector<std::string>{outbound});
    ASSERT_EQ(run.err.size(), 1u);
    const std::string tail =
        "[vpn] ⚠️ Предразрешение адреса сервера не удалось"
        " — ядро попробует само.";
    EXPECT_TRUE(run.err[0].ends_with(tail)) << run.err[0];
    EXPECT_EQ(run.err[0].size(), 9 + tail.size()) << run.err[0]; // "HH:MM:SS " before it
    EXPECT_EQ(one.requests().size(), 1u);
    EXPECT_EQ(two.requests().size(), 1u);
}

TEST(PreresolveLog, SuccessWritesNoLine) {
    HttpServer one, two;
    one.route("/resolve", Reply::text(200, R"({"Answer":[{"type":1,"data":"192.0.2.8"}]})"));
    two.route("/dns-query", Reply::text(200, R"({"Answer":[{"type":1,"data":"192.0.2.8"}]})"));
    ChildRun run = preresolve_in_child(R"({"server":"vpn.example.test","tag":"proxy"})", one, two);
    EXPECT_EQ(run.out, std::vector<std::string>{R"({"server":"192.0.2.8","tag":"proxy"})"});
    EXPECT_TRUE(run.err.empty());
}

} // namespace
} // namespace kest::vpn
