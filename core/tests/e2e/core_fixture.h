#pragma once
// Starts the built core as the front end does and talks to it line by line.
#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/bin_dir.h"
#include "support/child_session.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "json/json.h"

namespace kest::testing {

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Keep the core's data folder inside the test's own temporary folder.
        env_.set("APPDATA", data_.path());
        core_ = std::make_unique<ChildSession>(program_path("kestcore"));
    }

    ChildSession& core() { return *core_; }

    void send(const std::string& line) { ASSERT_TRUE(core().write(line + "\n")); }

    // The next line parsed as JSON, or a null value when none came in time.
    Json next_json(std::chrono::milliseconds timeout = 10s) {
        auto line = core().next_line(timeout);
        if (!line)
            return nullptr;
        return Json::parse(*line, nullptr, false);
    }

    // Lines on stderr with the given tag, without their time stamp.
    std::vector<std::string> log_with(const std::string& tag) {
        static const std::regex stamp(R"(^\d\d:\d\d:\d\d (.*)$)");
        std::vector<std::string> out;
        for (const auto& line : core().stderr_lines()) {
            std::smatch m;
            EXPECT_TRUE(std::regex_match(line, m, stamp)) << line;
            if (m.size() > 1 && m[1].str().rfind(tag, 0) == 0)
                out.push_back(m[1].str());
        }
        return out;
    }

    // Sends a ping with this id and waits for its answer, so everything sent before it has
    // been read by the core.
    void sync(std::uint64_t id) {
        send(R"({"id":)" + std::to_string(id) + R"(,"method":"ping"})");
        for (int i = 0; i < 50; ++i) {
            Json j = next_json();
            ASSERT_FALSE(j.is_null()) << "no answer to the sync ping";
            if (j.contains("id") && j["id"] == id)
                return;
            unexpected_.push_back(j);
        }
        FAIL() << "sync ping lost";
    }

    TempDir data_;
    ScopedEnv env_;
    std::unique_ptr<ChildSession> core_;
    std::vector<Json> unexpected_; // lines met while waiting for a sync answer
};

} // namespace kest::testing
