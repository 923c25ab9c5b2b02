#include "rpc/rule_sets.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/fs.h"
#include "platform/net.h"
#include "support/http_server.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "text/path_text.h"
#include "util/write_atomic.h"

namespace kest::rpc {
namespace {

using namespace std::chrono_literals;
using testing::HttpServer;
using testing::ReceivedRequest;
using testing::Reply;

constexpr platform::FileTime tick = 1;
constexpr platform::FileTime day = 864'000'000'000;
constexpr std::size_t mib = 1024 * 1024;

const char* const geosite_ru_1 = "/SagerNet/sing-geosite/rule-set/geosite-category-ru.srs";
const char* const geosite_ru_2 = "/gh/SagerNet/sing-geosite@rule-set/geosite-category-ru.srs";
const char* const geoip_ru_1 = "/SagerNet/sing-geoip/rule-set/geoip-ru.srs";
const char* const geoip_ru_2 = "/gh/SagerNet/sing-geoip@rule-set/geoip-ru.srs";

std::string service_path_1(const std::string& name) {
    return "/SagerNet/sing-geosite/rule-set/geosite-" + name + ".srs";
}
std::string service_path_2(const std::string& name) {
    return "/gh/SagerNet/sing-geosite@rule-set/geosite-" + name + ".srs";
}

// A body that passes the checks: the magic, then filler up to size bytes.
std::string rule_set_body(std::size_t size, char fill = 'x') {
    return "SRS" + std::string(size - 3, fill);
}

// The log lines written while it lives, without their time stamps.
class LogCapture {
public:
    LogCapture() { ::testing::internal::CaptureStderr(); }
    ~LogCapture() {
        if (!taken_)
            (void)::testing::internal::GetCapturedStderr();
    }
    std::vector<std::string> lines() {
        taken_ = true;
        std::string all = ::testing::internal::GetCapturedStderr();
        std::vector<std::string> out;
        for (std::size_t pos = 0; pos < all.size();) {
            std::size_t end = all.find('\n', pos);
            if (end == std::string::npos)
                end = all.size();
            std::string line = all.substr(pos, end - pos);
            out.push_back(line.size() > 9 ? line.substr(9) : line); // "HH:MM:SS "
            pos = end + 1;
        }
        return out;
    }

private:
    bool taken_ = false;
};

std::string written_line(const std::string& name, std::size_t kib) {
    return "[geo] 🌍 Гео-данные обновлены: " + name + " (" + std::to_string(kib) + " КБ)";
}

// A data directory of its own, two local servers playing the mirrors, and a count of the
// download clients made. The machine's proxy variables are cleared so that they cannot
// route the requests elsewhere.
class Scene {
public:
    Scene() {
        for (const char* name : {"ALL_PROXY", "all_proxy", "HTTPS_PROXY", "https_proxy",
                                 "HTTP_PROXY", "http_proxy", "NO_PROXY", "no_proxy"})
            env_.set(name, std::nullopt);
        env_.set("APPDATA", dir_.path());
    }

    std::string geo_folder() const { return dir_.join("Kest Connect", "geo"); }
    std::string geo_file(std::string_view name) const {
        return text::join_path(geo_folder(), name, platform::path_separator());
    }
    void write_file(std::string_view name, std::string_view body) {
        ASSERT_TRUE(write_atomic(geo_file(name), body));
    }
    void set_age(std::string_view name, platform::FileTime age) {
        ASSERT_TRUE(
            platform::set_last_write_time(geo_file(name), platform::system_time_now() - age));
    }
    std::optional<std::string> content(std::string_view name) const {
        auto read = platform::read_file(geo_file(name));
        return read ? std::optional(*read) : std::nullopt;
    }

    // Mirror 1 with nobody listening: a mirror that does not answer at all.
    void silence_mirror_1() {
        mirror_1_base_ = "http://127.0.0.1:" + std::to_string(*platform::free_loopback_port());
    }
    void use_appdata(const std::string& value) { env_.set("APPDATA", value); }

    bool update(const Json& params) {
        RuleSetMirrors mirrors{mirror_1_base_.value_or(mirror_1.url("")), mirror_2.url("")};
        return update_rule_sets(params, mirrors, [this] {
            ++clients_made;
            return make_download_client();
        });
    }

    static std::vector<std::string> targets(const HttpServer& server) {
        std::vector<std::string> out;
        for (const ReceivedRequest& r : server.requests())
            out.push_back(r.target);
        return out;
    }

    HttpServer mirror_1;
    HttpServer mirror_2;
    std::atomic<int> clients_made{0};

private:
    testing::TempDir dir_;
    testing::ScopedEnv env_;
    std::optional<std::string> mirror_1_base_;
};

using Targets = std::vector<std::string>;

TEST(RuleSetUpdate, EachKindOfMirror1FailureIsFollowedByMirror2) {
    const std::string from_mirror_2 = rule_set_body(2047, '2');
    struct Case {
        const char* name;
        std::optional<Reply> mirror_1; // none: nothing answers
        bool mirror_1_writes;
    };
    const Case cases[] = {
        {"status 404", Reply::text(404, rule_set_body(500)), false},
        {"status 500", Reply::text(500, rule_set_body(500)), false},
        {"a valid body with status 203", Reply::text(203, rule_set_body(500)), false},
        {"99 bytes", Reply::text(200, rule_set_body(99)), false},
        {"wrong magic", Reply::text(200, "PK" + std::string(998, 'x')), false},
        {"one byte over 32 MiB", Reply::text(200, rule_set_body(32 * mib + 1)), false},
        {"no answer", std::nullopt, false},
        {"exactly 100 bytes", Reply::text(200, rule_set_body(100, '1')), true},
        {"exactly 32 MiB", Reply::text(200, rule_set_body(32 * mib, '1')), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        scene.write_file("geosite-category-ru.srs", "fresh"); // only geoip-ru.srs is due
        if (c.mirror_1)
            scene.mirror_1.route(geoip_ru_1, *c.mirror_1);
        else
            scene.silence_mirror_1();
        scene.mirror_2.route(geoip_ru_2, Reply::text(200, from_mirror_2));

        LogCapture log;
        EXPECT_TRUE(scene.update(nullptr));
        const std::string& expected = c.mirror_1_writes ? c.mirror_1->body : from_mirror_2;
        EXPECT_EQ(log.lines(), Targets{written_line("geoip-ru.srs", expected.size() / 1024)});
        EXPECT_EQ(scene.content("geoip-ru.srs"), expected);
        EXPECT_FALSE(platform::file_exists(scene.geo_file("geoip-ru.srs.tmp")));
        EXPECT_EQ(Scene::targets(scene.mirror_1), c.mirror_1 ? Targets{geoip_ru_1} : Targets{});
        EXPECT_EQ(Scene::targets(scene.mirror_2),
                  c.mirror_1_writes ? Targets{} : Targets{geoip_ru_2});
        EXPECT_EQ(scene.clients_made, 1);
    }
}

TEST(RuleSetUpdate, BothMirrorsFailingLeaveTheFilesAsTheyWereAndLogNothing) {
    Scene scene;
    scene.write_file("geosite-category-ru.srs", rule_set_body(300, 'o'));
    scene.set_age("geosite-category-ru.srs", 8 * day);
    scene.mirror_2.set_fallback(
        [](const ReceivedRequest&) { return Reply::text(200, "PK" + std::string(998, 'x')); });

    LogCapture log;
    EXPECT_FALSE(scene.update(Json::object()));
    EXPECT_EQ(log.lines(), Targets{});
    EXPECT_EQ(scene.content("geosite-category-ru.srs"), rule_set_body(300, 'o'));
    EXPECT_FALSE(scene.content("geoip-ru.srs"));
    EXPECT_FALSE(platform::file_exists(scene.geo_file("geosite-category-ru.srs.tmp")));
    // The first file's failure does not stop the second.
    EXPECT_EQ(Scene::targets(scene.mirror_1), (Targets{geosite_ru_1, geoip_ru_1}));
    EXPECT_EQ(Scene::targets(scene.mirror_2), (Targets{geosite_ru_2, geoip_ru_2}));
}

TEST(RuleSetUpdate, FreshFilesAreNotRequestedAndNoServiceClientIsMade) {
    Scene scene;
    scene.write_file("geosite-category-ru.srs", "a");
    scene.set_age("geosite-category-ru.srs", 7 * day - 60 * 10'000'000LL); // a minute to spare
    scene.write_file("geoip-ru.srs", "b");
    scene.set_age("geoip-ru.srs", -365 * day); // dated a year ahead
    scene.write_file("geosite-telegram.srs", "c");

    EXPECT_FALSE(scene.update(Json::parse(R"({"services":["telegram","telegram"]})")));
    EXPECT_EQ(scene.mirror_1.connections(), 0);
    EXPECT_EQ(scene.mirror_2.connections(), 0);
    EXPECT_EQ(scene.clients_made, 1);
    EXPECT_EQ(scene.content("geoip-ru.srs"), "b");
}

TEST(RuleSetUpdate, AFolderThatCannotBeCreatedMakesNoRequest) {
    Scene scene;
    testing::TempDir other;
    std::string not_a_folder = other.join("file");
    ASSERT_TRUE(platform::write_file(not_a_folder, "x"));
    scene.use_appdata(not_a_folder);
    scene.mirror_1.set_fallback([](const ReceivedRequest&) { return Reply::text(200, "SRS"); });

    EXPECT_FALSE(scene.update(Json::parse(R"({"services":["telegram"]})")));
    EXPECT_EQ(scene.mirror_1.connections(), 0);
    EXPECT_EQ(scene.mirror_2.connections(), 0);
    EXPECT_EQ(scene.clients_made, 0);
}

TEST(RuleSetUpdate, OnlyWellFormedServiceNamesAreFetchedInTheOrderGiven) {
    Scene scene;
    scene.write_file("geosite-category-ru.srs", "fresh");
    scene.write_file("geoip-ru.srs", "fresh");
    const std::string longest(64, 'a');
    scene.mirror_1.set_fallback(
        [](const ReceivedRequest&) { return Reply::text(200, rule_set_body(1024)); });
    scene.mirror_1.route(service_path_1("x_y-0"), Reply::text(404, ""));
    scene.mirror_2.route(service_path_2("x_y-0"), Reply::text(200, rule_set_body(3000)));
    Json services = {"telegram", "Telegram", "",     "tele.gram",          " telegram",
                     "x_y-0",    longest,    "ютуб", std::string(65, 'a'), "telegram"};

    LogCapture log;
    EXPECT_TRUE(scene.update({{"services", services}}));
    // A stale name listed twice is fetched twice; the rest are skipped without a word.
    EXPECT_EQ(log.lines(), (Targets{written_line("geosite-telegram.srs", 1),
                                    written_line("geosite-x_y-0.srs", 2),
                                    written_line("geosite-" + longest + ".srs", 1),
                                    written_line("geosite-telegram.srs", 1)}));
    EXPECT_EQ(Scene::targets(scene.mirror_1),
              (Targets{service_path_1("telegram"), service_path_1("x_y-0"), service_path_1(longest),
                       service_path_1("telegram")}));
    EXPECT_EQ(Scene::targets(scene.mirror_2), Targets{service_path_2("x_y-0")});
    EXPECT_EQ(scene.content("geosite-x_y-0.srs"), rule_set_body(3000));
    EXPECT_EQ(scene.clients_made, 2);
}

TEST(RuleSetUpdate, ParametersOfAnyOtherShapeStillUpdateTheBuiltInRuleSets) {
    struct Case {
        const char* params;
        std::vector<std::string> services;
    };
    const Case cases[] = {
        {R"({"services":["a","b"],"other":{"x":[1]}})", {"a", "b"}},
        {R"([["a","b"]])", {"a", "b"}},
        {R"([])", {}},
        {R"({})", {}},
        {R"(null)", {}},
        {R"(5)", {}},
        {R"("a")", {}},
        {R"({"services":null})", {}},
        {R"({"services":["a",1]})", {}},
        {R"({"services":"a"})", {}},
        {R"([["a"],1])", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decode_geo_params(Json::parse(c.params)).services, c.services) << c.params;

    Scene scene;
    scene.mirror_1.set_fallback(
        [](const ReceivedRequest&) { return Reply::text(200, rule_set_body(100)); });
    EXPECT_TRUE(scene.update(Json::parse(R"({"services":7})")));
    EXPECT_EQ(Scene::targets(scene.mirror_1), (Targets{geosite_ru_1, geoip_ru_1}));
    EXPECT_EQ(scene.clients_made, 1);
}

TEST(RuleSetFreshness, YoungerThanSevenDaysOrInTheFutureIsFresh) {
    testing::TempDir dir;
    std::string path = dir.join("f.srs");
    ASSERT_TRUE(platform::write_file(path, "x"));
    const platform::FileTime now = platform::system_time_now();
    struct Case {
        platform::FileTime age;
        bool fresh;
    };
    const Case cases[] = {
        {-365 * day, true}, {-tick, true},           {0, true},         {7 * day - tick, true},
        {7 * day, false},   {7 * day + tick, false}, {30 * day, false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(platform::set_last_write_time(path, now - c.age));
        EXPECT_EQ(is_fresh(path, now), c.fresh) << c.age;
    }
    EXPECT_FALSE(is_fresh(dir.join("missing.srs"), now));
    EXPECT_FALSE(is_fresh(dir.join("missing", "below.srs")));
}

// Holds each request until a number of requests for the same target have arrived, so that
// overlapping updates reach their writes at the same moment.
class Rendezvous {
public:
    explicit Rendezvous(int parties) : parties_(parties) {}
    // Which arrival this was for the target, counting from 1.
    int arrive(const std::string& target) {
        std::unique_lock lock(mu_);
        int number = ++arrived_[target];
        cv_.notify_all();
        cv_.wait_for(lock, 10s, [&] { return arrived_[target] % parties_ == 0; });
        return number;
    }

private:
    const int parties_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::map<std::string, int> arrived_;
};

TEST(RuleSetUpdate, OverlappingUpdatesOfTheSameFilesLeaveOneCompleteBody) {
    Scene scene;
    // Bodies of different sizes, so that a mixture of the two cannot pass for either.
    const std::string one = rule_set_body(6 * mib, 'a');
    const std::string other = rule_set_body(4 * mib, 'b');
    Rendezvous rendezvous(2);
    scene.mirror_1.set_fallback([&](const ReceivedRequest& r) {
        return Reply::text(200, rendezvous.arrive(r.target) % 2 ? one : other);
    });
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        if (round > 0) {
            scene.set_age("geosite-category-ru.srs", 8 * day);
            scene.set_age("geoip-ru.srs", 8 * day);
        }
        bool answers[2] = {false, false};
        LogCapture log;
        std::thread first([&] { answers[0] = scene.update(nullptr); });
        std::thread second([&] { answers[1] = scene.update(nullptr); });
        first.join();
        second.join();
        EXPECT_TRUE(answers[0]);
        EXPECT_TRUE(answers[1]);
        // Every download wrote its file: none was turned into a failure by the other's write.
        EXPECT_EQ(log.lines().size(), 4u);
        EXPECT_EQ(scene.mirror_2.connections(), 0);
        for (const char* name : {"geosite-category-ru.srs", "geoip-ru.srs"}) {
            auto body = scene.content(name);
            ASSERT_TRUE(body) << name;
            EXPECT_TRUE(*body == one || *body == other) << name << ": " << body->size();
            EXPECT_FALSE(platform::file_exists(scene.geo_file(std::string(name) + ".tmp")));
        }
    }
}

} // namespace
} // namespace kest::rpc
