#pragma once
// The one VPN service state of the process. Every tunnel operation reaches it as a command;
// one worker thread runs them one at a time, and of several waiting commands only the newest.
// Its state lives behind one mutex that no caller sees: each operation below takes the lock
// for a short read or write and never holds it across engine I/O, waits or callbacks.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vpn/command.h"
#include "vpn/engine/api_client.h"
#include "vpn/engine/engine_handle.h"
#include "vpn/status_sink.h"

namespace kest::vpn {

// Raised once when a session ends; the session's threads watch it.
using StopFlag = std::shared_ptr<std::atomic<bool>>;

class VpnController;
using CommandRunner = std::function<CommandResult(VpnController&, VpnCommand&)>;

// What the worker runs for Connect and Apply, handed in by whoever makes the controller: the
// connect sequence and the live replacement build on the controller, not it on them.
struct CommandRunners {
    CommandRunner connect;
    CommandRunner apply;
};

// What a successful engine start leaves in the controller.
struct SessionStart {
    EngineHandle engine;
    StopFlag stop_flag;
    std::uint64_t token = 0;
    std::string secret;
    std::uint16_t port = 0;
    std::string resolver;
};

// A copy of the session values. secret, port, resolver and token are those of the last
// started session and outlive it; engine_held and stop_flag describe the running one.
struct SessionValues {
    bool engine_held = false;
    StopFlag stop_flag;
    std::string api_secret;
    std::uint16_t api_port = 0;
    std::string bypass_resolver;
    std::uint64_t session_token = 0;
};

// What stop_session takes out of the controller.
struct TakenSession {
    std::optional<EngineHandle> engine;
    StopFlag stop_flag;
};

// What the crash watcher found on one look at its session.
enum class EngineWatch {
    Running, // the engine runs, or a live replacement has it out for a moment: look again
    Gone,    // another session's now, or stopped: nothing left to watch
    Crashed, // the engine ended on its own; the session has been taken down
};

// Shared, and lives until the process ends: the session threads hold it too.
class VpnController : public std::enable_shared_from_this<VpnController> {
public:
    // Without runners, a Connect or Apply command fails as an internal fault.
    explicit VpnController(StatusSink sink, CommandRunners runners = {})
        : status_sink_(std::move(sink)), runners_(std::move(runners)) {}
    VpnController(const VpnController&) = delete;
    VpnController& operator=(const VpnController&) = delete;

    // Never called with the controller's lock held.
    const StatusSink& status_sink() const { return status_sink_; }
    const CommandRunners& runners() const { return runners_; }

    // Whether an engine is held ("is_connected").
    bool engine_held();
    // The running session's control-interface client ("traffic"): a copy sharing its agent, so
    // the request goes out without the lock. None without a session.
    std::optional<ApiClient> control_client();
    SessionValues session_values();

    bool queue_empty();
    std::size_t queue_length();

    // The stores of a successful start: a handle still held is dropped, not stopped; the
    // control client is new; the previous stop flag is dropped without being raised.
    void install_session(SessionStart session);
    // Drops the control client and takes the engine and the stop flag out; the last session's
    // secret, port, resolver and token stay.
    TakenSession take_session();

    // The token for a new session: the counter's value, which then grows by one (first: 1).
    std::uint64_t next_session_token() { return session_counter_.fetch_add(1); }

    // Whether token still names the current session.
    bool session_current(std::uint64_t token);

    // A state event on behalf of session token, sent only while no newer session has been
    // installed since: a newer session's own events already tell the state, and this one must
    // not reach the front end after them. False when it was not sent.
    bool tell_state_for_session(std::uint64_t token, VpnState state, const std::string& text);

    // One look of the crash watcher of session token. When the engine has ended, the session
    // is taken down under the same lock: engine, control client and stop flag emptied and the
    // stop flag raised, so that the session's other threads end. The process is not touched.
    EngineWatch watch_engine(std::uint64_t token);

    // The live replacement borrows the engine while it talks to it: the session stays (stop
    // flag, client, token), only no engine is held meanwhile.
    std::optional<EngineHandle> take_engine();
    // Puts a borrowed engine back; a handle stored meanwhile is dropped, not stopped.
    void put_engine_back(EngineHandle engine);

    // Orphan clean-up is due: true at start, set after a failed start, read and cleared by the
    // clean-up.
    bool cleanup_pending() const { return cleanup_pending_.load(); }
    void mark_cleanup_pending() { cleanup_pending_.store(true); }
    void clear_cleanup_pending() { cleanup_pending_.store(false); }
    std::atomic<bool>& cleanup_pending_flag() { return cleanup_pending_; }

private:
    friend CommandResult submit_command(const std::shared_ptr<VpnController>& controller,
                                        CommandKind kind, std::string link, config::RoutePlan plan,
                                        ArrivalOrder arrival);
    friend void vpn_worker_thread(std::shared_ptr<VpnController> controller);

    // Everything behind the mutex.
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
        // The arrival number of the newest numbered command submitted so far.
        std::uint64_t newest_arrival = 0;
    };

    // The worker's pass: the whole queue, or nothing (and the worker ends) when it is empty.
    std::vector<VpnCommand> take_queue_or_retire();

    const StatusSink status_sink_;
    const CommandRunners runners_;

    // Orders the installation of a session against the events sent for an older one: taken
    // before inner_mutex_, never while it is held.
    std::mutex session_events_mutex_;
    std::mutex inner_mutex_;
    ControllerState inner_; // only touched with inner_mutex_ held

    std::atomic<std::uint64_t> session_counter_{1};
    std::atomic<bool> cleanup_pending_{true};
};

// Queues one command and blocks, without a time limit, until the worker answers it. A command
// that arrives after a newer one (by its arrival number) is answered as superseded at once, as
// it would have been had it arrived first. When the system refuses the worker thread, the
// command is taken back out and the refusal is thrown: the submitting request ends with an
// internal error.
CommandResult submit_command(const std::shared_ptr<VpnController>& controller, CommandKind kind,
                             std::string link, config::RoutePlan plan, ArrivalOrder arrival = {});

// The disconnect command of the "disconnect" method and of the shutdown.
CommandResult submit_disconnect(const std::shared_ptr<VpnController>& controller,
                                ArrivalOrder arrival = {});

void vpn_worker_thread(std::shared_ptr<VpnController> controller);

// The orphan clean-up, while the controller's clean-up is pending.
void cleanup_orphans(VpnController& controller);

void stop_session(VpnController& controller);
// The same for a live replacement whose exchange failed: the engine it borrowed is stopped with
// the session, never put back where the crash watcher could take it for a crash.
void stop_session(VpnController& controller, EngineHandle borrowed);

// prefix: "" or "Ошибка генерации конфига: ". Tells the user unless a newer command waits.
CommandResult fail_command(VpnController& controller, std::string_view prefix, std::string kind,
                           std::string message);

bool is_already_exists_error(std::string_view text);
bool is_no_admin_error(std::string_view text);

} // namespace kest::vpn
