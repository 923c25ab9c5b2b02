#pragma once
// A data directory of its own for each test of the engine configuration, inside a temporary
// folder, no engine log level asked for, and rule-set files made on request.
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "config/config_file.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "support/temp_dir.h"
#include "text/path_text.h"
#include "json/json.h"

namespace kest::config::testing {

inline constexpr std::string_view kSecret =
    "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";

class EngineConfigTest : public ::testing::Test {
protected:
    EngineConfigTest() {
        data_ = text::join_path(dir_.path(), "Kest Connect", platform::path_separator());
        config_path_ = in_data("vpn_config.json");
    }

    // The test's own directory and file, the fixed secret, and the values given.
    ConfigInputs inputs(std::uint16_t port = 9787, std::string_view dns_local = "") const {
        ConfigInputs in;
        in.secret = std::string(kSecret);
        in.port = port;
        in.dns_local = std::string(dns_local);
        in.config_path = config_path_;
        in.data_directory = data_;
        in.engine_log = engine_log_;
        return in;
    }

    std::string in_data(std::string_view name) const {
        return text::join_path(data_, name, platform::path_separator());
    }

    void add_rule_set(std::string_view file_name) {
        std::string geo = in_data("geo");
        ASSERT_TRUE(platform::create_directories(geo));
        ASSERT_TRUE(platform::write_file(
            text::join_path(geo, file_name, platform::path_separator()), "srs"));
    }

    // Builds into the test's data directory and returns the document as read back.
    Json build(const Json& outbound, const RoutePlan& plan, std::uint16_t port = 9787,
               std::string_view dns_local = "") {
        auto written = build_engine_config(outbound, plan, inputs(port, dns_local));
        if (!written) {
            ADD_FAILURE() << written.error();
            return Json();
        }
        return Json::parse(*written);
    }

    // Expected documents name the data directory $DATA and the platform separator $SEP, both
    // as they appear inside a JSON string.
    std::string with_paths(std::string text) const {
        std::string data = Json(data_).dump();
        replace_all(text, "$DATA", data.substr(1, data.size() - 2));
        replace_all(text, "$SEP", platform::path_separator() == '\\' ? "\\\\" : "/");
        return text;
    }

    static void replace_all(std::string& text, std::string_view from, std::string_view to) {
        for (auto pos = text.find(from); pos != std::string::npos;
             pos = text.find(from, pos + to.size()))
            text.replace(pos, from.size(), to);
    }

    kest::testing::TempDir dir_;
    std::string data_;
    std::string config_path_;
    std::optional<std::string> engine_log_; // what "KEST_ENGINE_LOG" would hold
};

} // namespace kest::config::testing
