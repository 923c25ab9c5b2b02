#include "support/child_session.h"

#include <stdexcept>

#include "platform/process_setup.h"

namespace kest::testing {

ChildSession::ChildSession(const std::string& program, std::vector<std::string> args) {
    platform::prepare_process(); // a child that died must not take the test down with it
    platform::SpawnOptions options;
    options.program = program;
    options.args = std::move(args);
    auto spawned = platform::spawn(options);
    if (!spawned)
        throw std::runtime_error("cannot start " + program + ": " + spawned.error());
    child_ = std::move(*spawned);
    out_thread_ = std::thread([this] { pump(child_.stdout_pipe.get(), out_); });
    err_thread_ = std::thread([this] { pump(child_.stderr_pipe.get(), err_); });
}

ChildSession::~ChildSession() {
    close_stdin();
    if (!wait_exit(5s)) {
        child_.process->terminate(1);
        child_.process->wait();
    }
    resume_stdout();
    out_thread_.join();
    err_thread_.join();
}

void ChildSession::pump(platform::PipeEnd* pipe, Stream& stream) {
    std::string pending;
    char buf[65536];
    for (;;) {
        if (&stream == &out_) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return !stdout_paused_; });
        }
        auto r = pipe->read(buf, sizeof buf);
        if (r.status != platform::ReadStatus::Data)
            break;
        pending.append(buf, r.bytes);
        if (&stream == &out_ && close_stdout_.load()) {
            pipe->close();
            break;
        }
        std::size_t start = 0, nl;
        std::vector<std::string> lines;
        while ((nl = pending.find('\n', start)) != std::string::npos) {
            lines.push_back(pending.substr(start, nl - start));
            start = nl + 1;
        }
        pending.erase(0, start);
        if (!lines.empty()) {
            std::lock_guard lock(mutex_);
            for (auto& l : lines)
                stream.lines.push_back(std::move(l));
            changed_.notify_all();
        }
    }
    std::lock_guard lock(mutex_);
    if (!pending.empty())
        stream.lines.push_back(pending);
    stream.closed = true;
    changed_.notify_all();
}

bool ChildSession::write(std::string_view bytes) {
    return child_.stdin_pipe && child_.stdin_pipe->write(bytes);
}

void ChildSession::close_stdout_after_next_read() {
    close_stdout_.store(true);
}

void ChildSession::pause_stdout() {
    std::lock_guard lock(mutex_);
    stdout_paused_ = true;
}

void ChildSession::resume_stdout() {
    std::lock_guard lock(mutex_);
    stdout_paused_ = false;
    changed_.notify_all();
}

void ChildSession::close_stdin() {
    if (child_.stdin_pipe)
        child_.stdin_pipe->close();
}

std::optional<std::string> ChildSession::next_line(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return out_.taken < out_.lines.size() || out_.closed; });
    if (out_.taken < out_.lines.size())
        return out_.lines[out_.taken++];
    return std::nullopt;
}

std::vector<std::string> ChildSession::stdout_lines() {
    std::lock_guard lock(mutex_);
    return out_.lines;
}

std::vector<std::string> ChildSession::stderr_lines() {
    std::lock_guard lock(mutex_);
    return err_.lines;
}

bool ChildSession::wait_stderr_lines(std::size_t n, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        return err_.lines.size() >= n || err_.closed;
    }) && err_.lines.size() >= n;
}

std::optional<int> ChildSession::wait_exit(std::chrono::milliseconds timeout) {
    if (exit_code_)
        return exit_code_;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (auto code = child_.process->try_wait()) {
            exit_code_ = code;
            // Let the pumps see the end of both pipes before callers read the collected lines.
            resume_stdout();
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, 5s, [&] { return out_.closed && err_.closed; });
            return exit_code_;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(10ms);
    }
}

bool ChildSession::stdout_closed() {
    std::lock_guard lock(mutex_);
    return out_.closed;
}

std::uint32_t ChildSession::pid() const {
    return child_.process->pid();
}

} // namespace kest::testing
