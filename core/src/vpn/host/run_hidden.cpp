#include "vpn/host/run_hidden.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/process.h"
#include "text/utf8_lossy.h"
#include "text/white_space.h"
#include "vpn/engine/child_list.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

using Clock = std::chrono::steady_clock;

struct Drained {
    std::string bytes;
    std::optional<std::string> failure; // the system's text of a failed read
};

// The two output pipes read on threads of their own, so that a tool filling one of them never
// blocks on the other, and the caller can keep the clock.
class OutputReaders {
public:
    // Ending the tool does not end its output: a child it left behind may have inherited the
    // pipes and hold them for good. The reads are cancelled before the join, so that the run
    // never waits on whoever holds them; readers that have seen the end lose nothing by it.
    ~OutputReaders() {
        for (auto* pipe : pipes_)
            pipe->cancel();
        for (auto& t : threads_)
            if (t.joinable())
                t.join();
    }

    Expected<void> start(platform::PipeEnd& pipe, Drained& into) {
        try {
            pipes_.reserve(pipes_.size() + 1);
            threads_.emplace_back([this, &pipe, &into] { drain(pipe, into); });
            pipes_.push_back(&pipe);
            return {};
        } catch (const std::system_error& e) {
            return unexpected(std::string(e.what()));
        }
    }

    // True when every started reader has reached the end of its pipe before the deadline.
    bool wait_until(Clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        return finished_changed_.wait_until(lock, deadline,
                                            [this] { return finished_ == threads_.size(); });
    }

private:
    void drain(platform::PipeEnd& pipe, Drained& into) {
        char buf[8192];
        for (;;) {
            auto r = pipe.read(buf, sizeof buf);
            if (r.status != platform::ReadStatus::Data) {
                if (r.status == platform::ReadStatus::Error)
                    into.failure = std::move(r.error);
                break;
            }
            into.bytes.append(buf, r.bytes);
        }
        std::lock_guard lock(mutex_);
        ++finished_;
        finished_changed_.notify_all();
    }

    std::vector<platform::PipeEnd*> pipes_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable finished_changed_;
    std::size_t finished_ = 0;
};

std::string limit_text(std::chrono::milliseconds limit) {
    if (limit.count() % 1000 == 0)
        return fill_text(texts::seconds, {std::to_string(limit.count() / 1000)});
    return fill_text(texts::milliseconds, {std::to_string(limit.count())});
}

// Ends the process and waits for it, so that its own ends of the pipes are closed.
void end_process(platform::Process& process) {
    process.terminate(1);
    process.wait();
}

} // namespace

Expected<std::string> run_hidden(const std::string& program, const std::vector<std::string>& args,
                                 std::chrono::milliseconds time_limit) {
    const auto deadline = Clock::now() + time_limit;
    platform::SpawnOptions options;
    options.program = program;
    options.args = args;
    options.pipes = true;
    options.no_window = true;
    options.cancellable_output = true;
    auto spawned = platform::spawn(options);
    if (!spawned)
        return unexpected(spawned.error());
    platform::Child child = std::move(*spawned);
    // Declared after the child, so that it is off the list before the process object goes.
    auto in_flight = children_in_flight().add(*child.process);
    // The tool reads nothing from us: its input ends at once, as the null device's would.
    child.stdin_pipe->close();

    Drained out, err;
    // Declared after the pipes' owner, so the readers are joined before the pipes go away.
    OutputReaders readers;
    for (auto [pipe, into] :
         {std::pair{child.stdout_pipe.get(), &out}, std::pair{child.stderr_pipe.get(), &err}}) {
        if (auto started = readers.start(*pipe, *into); !started) {
            end_process(*child.process);
            return unexpected(started.error());
        }
    }

    bool in_time = readers.wait_until(deadline);
    std::optional<int> exit_code;
    // Output closed is not yet an exit: look for it until the deadline too.
    while (in_time && !(exit_code = child.process->try_wait())) {
        if (Clock::now() >= deadline)
            in_time = false;
        else
            std::this_thread::sleep_for(10ms);
    }
    if (!in_time) {
        end_process(*child.process);
        return unexpected(fill_text(texts::tool_timed_out, {limit_text(time_limit)}));
    }
    // Every reader has finished (seen under the readers' lock): out and err are complete.
    for (Drained* drained : {&out, &err})
        if (drained->failure)
            return unexpected(std::move(*drained->failure));
    if (*exit_code == 0)
        return std::move(out.bytes);
    std::string output = text::replace_invalid_utf8(out.bytes);
    return unexpected(fill_text(texts::tool_exit_code,
                                {std::to_string(*exit_code), text::trim_white_space(output)}));
}

} // namespace kest::vpn
