#pragma once
// The one VPN service state of the process. Every tunnel operation reaches it as a command;
// one worker thread runs them one at a time, and of several waiting commands only the newest.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vpn/api_client.h"
#include "vpn/command.h"
#include "vpn/engine_handle.h"
#include "vpn/status_sink.h"

namespace kest::vpn {

// Raised once when a session ends; the session's threads watch it.
using StopFlag = std::shared_ptr<std::atomic<bool>>;

// Everything behind the controller's mutex.
struct ControllerState {
    std::optional<EngineHandle> engine;
    std::vector<VpnCommand> queue; // oldest first
    std::string api_secret;
    std::string bypass_resolver;
    std::optional<ApiClient> api_client;
    StopFlag stop_flag; // none when empty
    std::uint64_t session_token = 0;
    std::uint16_t api_port = 0;
    bool worker_running = false;
};

class VpnController;
using CommandRunner = std::function<CommandResult(VpnController&, VpnCommand&)>;

// What the worker runs for Connect and Apply.
struct CommandRunners {
    CommandRunner connect;
    CommandRunner apply;
};

CommandRunners default_command_runners();

class VpnController {
public:
    explicit VpnController(StatusSink sink, CommandRunners runners = default_command_runners())
        : status_sink(std::move(sink)), runners(std::move(runners)) {}

    const StatusSink status_sink; // never called with inner_mutex held
    const CommandRunners runners;

    std::mutex inner_mutex;
    ControllerState inner; // only touched with inner_mutex held

    std::atomic<std::uint64_t> session_counter{1};
    std::atomic<bool> cleanup_pending{true};

    bool queue_empty() {
        std::lock_guard lock(inner_mutex);
        return inner.queue.empty();
    }
};

// Queues one command and blocks, without a time limit, until the worker answers it.
CommandResult submit_command(const std::shared_ptr<VpnController>& controller, CommandKind kind,
                             std::string link, config::RoutePlan plan);

void vpn_worker_thread(std::shared_ptr<VpnController> controller);

void stop_session(VpnController& controller);

// prefix: "" or "Ошибка генерации конфига: ". Tells the user unless a newer command waits.
CommandResult fail_command(VpnController& controller, std::string_view prefix, std::string kind,
                           std::string message);

bool is_already_exists_error(std::string_view text);
bool is_no_admin_error(std::string_view text);

} // namespace kest::vpn
