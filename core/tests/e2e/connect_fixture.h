#pragma once
// A core and the engine double in the test's own folder, with the requests and readings the
// tunnel tests share.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core_fixture.h"
#include "platform/fs.h"
#include "support/program_copy.h"

namespace kest::testing {

using namespace std::chrono_literals;

// A share link whose server is an address: nothing is looked up beyond this machine.
inline const std::string kLink =
    "vless://0f1e2d3c-0000-4000-8000-000000000001@127.0.0.1:443?security=tls&sni=demo.example";

inline const Json kConnecting = Json::parse(
    R"({"event":"state","msg":"⏳ Подготовка сетевой среды [Sing-box]...","state":"connecting"})");
inline const Json kConnected =
    Json::parse(R"({"event":"state","msg":"✅ Туннель Kest успешно поднят.","state":"connected"})");
inline const Json kRestored = Json::parse(
    R"({"event":"state","msg":"✅ Настройки сети успешно восстановлены.","state":"disconnected"})");

// The core and the engine double, copied together into the test's own folder: the orphan
// clean-up of this core ends engines only there, and other tests' cores leave this one alone.
class Connect : public CoreTest {
protected:
    void SetUp() override {
        env_.set("APPDATA", data_.path());
        env_.set("KEST_DOUBLE_STARTS", data_.join("starts.txt"));
    }

    void start_core() {
        core_.reset(); // the previous core, if any, ends first
        held_answers_.clear();
        if (core_path_.empty()) {
            std::string bin = data_.join("bin");
            core_path_ = copy_program("kestcore", bin, "kestcore");
            copy_program("vuvezozire", bin, "vuvezozire");
        }
        core_ = std::make_unique<ChildSession>(core_path_);
    }

    void send_connect(std::uint64_t id, const Json& params) {
        send(Json{{"id", id}, {"method", "connect"}, {"params", params}}.dump());
    }

    // The whole answer to the request with this id, held or still to come, or null when none
    // came in time. Events met on the way are kept in events_, other answers are held for
    // their own turn: an answer may come before or after the events its request causes.
    Json answer_of(std::uint64_t id, std::chrono::milliseconds timeout = 60s) {
        auto held = std::find_if(held_answers_.begin(), held_answers_.end(),
                                 [&](const Json& j) { return j.value("id", ~id) == id; });
        if (held != held_answers_.end()) {
            Json j = std::move(*held);
            held_answers_.erase(held);
            return j;
        }
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            Json j = next_json(std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now()));
            if (j.is_null())
                break;
            if (j.contains("event"))
                events_.push_back(j);
            else if (j.value("id", ~id) == id)
                return j;
            else
                held_answers_.push_back(std::move(j));
        }
        return nullptr;
    }

    // The result of the request with this id; events met on the way are kept.
    Json result_of(std::uint64_t id, std::chrono::milliseconds timeout = 60s) {
        Json answer = answer_of(id, timeout);
        if (answer.is_null()) {
            ADD_FAILURE() << "no answer to request " << id;
            return nullptr;
        }
        return answer.value("result", Json());
    }

    // The results of several requests answered in any order; one that got no answer is left
    // out.
    std::map<std::uint64_t, Json> results_of(std::vector<std::uint64_t> ids) {
        std::map<std::uint64_t, Json> out;
        for (std::uint64_t id : ids)
            if (Json answer = answer_of(id); !answer.is_null())
                out[id] = answer.value("result", Json());
        return out;
    }

    // Waits until n events have arrived in all; answers met on the way are held.
    const std::vector<Json>& events(std::size_t n) {
        while (events_.size() < n) {
            Json j = next_json();
            if (j.is_null())
                break;
            if (j.contains("event"))
                events_.push_back(j);
            else
                held_answers_.push_back(std::move(j));
        }
        return events_;
    }

    // How many engine starts the double saw.
    std::size_t engine_starts() {
        auto text = platform::read_file(data_.join("starts.txt"));
        return text ? std::count(text->begin(), text->end(), '\n') : 0;
    }

    void wait_for_engine_starts(std::size_t n) {
        for (int i = 0; i < 3000 && engine_starts() < n; ++i)
            std::this_thread::sleep_for(10ms);
        ASSERT_EQ(engine_starts(), n);
    }

    // sync, keeping the events met on the way and holding the answers.
    void sync_keeping_events(std::uint64_t id) {
        sync(id);
        for (Json& j : unexpected_)
            (j.contains("event") ? events_ : held_answers_).push_back(std::move(j));
        unexpected_.clear();
    }

    // Sends a "disconnect" with this id while the engine holds its report back until the gate
    // file appears, lets its command queue behind the start, then opens the gate. Events met
    // on the way are kept.
    void disconnect_behind_the_start(std::uint64_t id, const std::string& gate) {
        send(Json{{"id", id}, {"method", "disconnect"}}.dump());
        sync_keeping_events(id + 1);
        // The disconnect's request thread has been started; give it the moment it needs to
        // queue its command, which nothing outside the core can observe.
        std::this_thread::sleep_for(500ms);
        ASSERT_TRUE(platform::write_file(gate, "go"));
    }

    std::string config_path() { return data_.join("Kest Connect", "vpn_config.json"); }

    std::vector<Json> events_;
    std::vector<Json> held_answers_; // read while something else was awaited
    std::string core_path_;
};

struct ControlValues {
    std::uint16_t port = 0;
    std::string secret;
};

inline ControlValues control_values_of(const std::string& config_text) {
    Json config = Json::parse(config_text);
    Json api = config["experimental"]["clash_api"];
    std::string address = api["external_controller"];
    ControlValues v;
    v.port = static_cast<std::uint16_t>(std::stoi(address.substr(address.rfind(':') + 1)));
    v.secret = api["secret"];
    EXPECT_EQ(address.substr(0, address.rfind(':')), "127.0.0.1");
    return v;
}

inline bool is_lower_hex(const std::string& s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

} // namespace kest::testing
