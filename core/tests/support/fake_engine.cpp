#include "support/fake_engine.h"

#include <string>

namespace kest::testing {
namespace {

class FakeProcess final : public platform::Process {
public:
    explicit FakeProcess(std::shared_ptr<EngineSide> side) : side_(std::move(side)) {}
    ~FakeProcess() override { side_->process_released = true; }
    std::uint32_t pid() const override { return 1; }
    std::optional<int> try_wait() override {
        if (side_->exited)
            return 0;
        return std::nullopt;
    }
    int wait() override {
        side_->waited = true;
        return 0;
    }
    void terminate(int code) override {
        side_->terminated_at = std::chrono::steady_clock::now();
        side_->terminated_with = code;
        side_->exited = true;
    }

private:
    std::shared_ptr<EngineSide> side_;
};

class FakeInput final : public platform::PipeEnd {
public:
    FakeInput(std::shared_ptr<EngineSide> side, OnClosedInput behaviour,
              Channel<std::string>::Sender reports)
        : side_(std::move(side)), behaviour_(behaviour), reports_(std::move(reports)) {}
    ~FakeInput() override { close(); }
    platform::ReadResult read(char*, std::size_t) override { return {platform::ReadStatus::Error}; }
    bool write(std::string_view bytes) override {
        if (side_->refuse_writes || side_->input_closed)
            return false;
        {
            std::lock_guard lock(side_->mutex);
            side_->written.emplace_back(bytes);
        }
        side_->on_write();
        if (side_->answer)
            reports_.send(*side_->answer);
        return true;
    }
    void close() override {
        if (side_->input_closed.exchange(true))
            return;
        if (behaviour_ == OnClosedInput::Exit)
            side_->exited = true;
        if (behaviour_ == OnClosedInput::ReportStopped) {
            // Noise first: only a report of kind "stopped" hands the process over.
            reports_.send("");
            reports_.send("not a report");
            reports_.send(R"({"ok":true,"kind":"reload"})");
            reports_.send(" {\"ok\":true,\"kind\":\"stopped\",\"error\":\"\"}\r");
        }
    }

private:
    std::shared_ptr<EngineSide> side_;
    OnClosedInput behaviour_;
    Channel<std::string>::Sender reports_;
};

} // namespace

FakeEngine::FakeEngine(OnClosedInput behaviour) {
    auto [sender, receiver] = Channel<std::string>::make();
    handle.stdin_pipe = std::make_unique<FakeInput>(side, behaviour, std::move(sender));
    handle.child = std::make_unique<FakeProcess>(side);
    handle.reports = std::move(receiver);
}

void install_engine(vpn::VpnController& controller, vpn::EngineHandle handle, std::string secret,
                    std::uint16_t port) {
    controller.install_session(
        vpn::SessionStart{std::move(handle), std::make_shared<std::atomic<bool>>(false),
                          controller.next_session_token(), std::move(secret), port, ""});
}

} // namespace kest::testing
