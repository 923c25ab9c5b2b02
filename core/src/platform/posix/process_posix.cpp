#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>

#include "platform/posix/fd_io.h"
#include "platform/posix/unique_fd.h"

extern char** environ;

namespace kest::platform {
namespace {

using posix::UniqueFd;

Unexpected<std::string> os_error(int err) {
    return unexpected(posix::error_text(err));
}

ReadResult read_failure(int err) {
    return {ReadStatus::Error, 0, posix::error_text(err)};
}

// A read() blocked on another thread is not woken by a close() of its descriptor. A cancellable
// end therefore waits in poll() on the pipe and on an event counter together; a cancel raises
// the counter and leaves it raised, so that every later wait sees it too.
class FdPipe final : public PipeEnd {
public:
    explicit FdPipe(UniqueFd fd, UniqueFd cancel_event = {})
        : fd_(std::move(fd)), cancel_event_(std::move(cancel_event)) {}

    ReadResult read(char* buf, std::size_t size) override {
        if (!fd_)
            return read_failure(EBADF);
        if (cancel_event_)
            if (int err = wait_readable(); err != 0)
                return read_failure(err);
        return posix::read_some(fd_.get(), buf, size);
    }

    bool write(std::string_view bytes) override {
        return fd_ && posix::write_all(fd_.get(), bytes);
    }

    void close() override { fd_.reset(); }

    void cancel() override {
        if (!cancel_event_)
            return;
        const std::uint64_t one = 1;
        // Ones never bring the counter near its ceiling, where a write would block.
        ssize_t r;
        do {
            r = ::write(cancel_event_.get(), &one, sizeof one);
        } while (r < 0 && errno == EINTR);
    }

private:
    // 0 once a read would not block; otherwise why the read must fail.
    int wait_readable() {
        pollfd fds[2] = {{cancel_event_.get(), POLLIN, 0}, {fd_.get(), POLLIN, 0}};
        for (;;) {
            int r = ::poll(fds, 2, -1);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                return errno;
            // The cancel wins over data that came with it: the caller has given up on the rest.
            if (fds[0].revents != 0)
                return ECANCELED;
            return 0; // data, the writers' end (POLLHUP) or an error the read will report
        }
    }

    UniqueFd fd_;
    UniqueFd cancel_event_;
};

class PosixProcess final : public Process {
public:
    explicit PosixProcess(pid_t pid) : pid_(pid) {}
    PosixProcess(const PosixProcess&) = delete;
    PosixProcess& operator=(const PosixProcess&) = delete;

    std::uint32_t pid() const override { return static_cast<std::uint32_t>(pid_); }

    std::optional<int> try_wait() override {
        std::lock_guard lock(mutex_);
        return reap(WNOHANG);
    }

    int wait() override {
        // Wait for the end without reaping, so that a terminate from another thread never
        // meets a process id that the system may already have given to someone else.
        siginfo_t info{};
        int r;
        do {
            r = ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT);
        } while (r < 0 && errno == EINTR);
        std::lock_guard lock(mutex_);
        return *reap(0);
    }

    void terminate(int) override {
        std::lock_guard lock(mutex_);
        if (!exit_code_)
            ::kill(pid_, SIGKILL);
    }

private:
    // Called under the lock.
    std::optional<int> reap(int options) {
        if (exit_code_)
            return exit_code_;
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(pid_, &status, options);
        } while (r < 0 && errno == EINTR);
        if (r == 0)
            return std::nullopt;
        exit_code_ = r < 0 ? -1 : decode(status);
        return exit_code_;
    }

    static int decode(int status) {
        if (WIFEXITED(status))
            return WEXITSTATUS(status);
        return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    }

    pid_t pid_;
    std::mutex mutex_; // terminate may come from another thread than the waits
    std::optional<int> exit_code_;
};

// One pipe, both ends closed on exec: the child gets its end through a dup2.
struct PipePair {
    UniqueFd read_end;
    UniqueFd write_end;
};

Expected<PipePair> make_pipe() {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return os_error(errno);
    return PipePair{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

// Our read end of an output pipe, with a cancel event when asked for.
Expected<std::unique_ptr<PipeEnd>> output_end(UniqueFd read_end, bool cancellable) {
    UniqueFd cancel_event;
    if (cancellable) {
        cancel_event = UniqueFd(::eventfd(0, EFD_CLOEXEC));
        if (!cancel_event)
            return os_error(errno);
    }
    return std::unique_ptr<PipeEnd>(
        std::make_unique<FdPipe>(std::move(read_end), std::move(cancel_event)));
}

// The spawn's file actions and attributes, destroyed on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
};

} // namespace

Expected<Child> spawn(const SpawnOptions& options) {
    SpawnSetup setup;
    PipePair in, out, err;
    if (options.pipes) {
        for (PipePair* pair : {&in, &out, &err}) {
            auto made = make_pipe();
            if (!made)
                return unexpected(made.error());
            *pair = std::move(*made);
        }
        posix_spawn_file_actions_adddup2(&setup.actions, in.read_end.get(), 0);
        posix_spawn_file_actions_adddup2(&setup.actions, out.write_end.get(), 1);
        posix_spawn_file_actions_adddup2(&setup.actions, err.write_end.get(), 2);
    } else {
        posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&setup.actions, 2, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(options.program.c_str()));
    for (const auto& a : options.args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    // Our own SIGPIPE is ignored; the child starts with the default disposition.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&setup.attr, &defaults);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGDEF);

    std::unique_ptr<PipeEnd> our_output, our_error;
    if (options.pipes) {
        auto made_output = output_end(std::move(out.read_end), options.cancellable_output);
        if (!made_output)
            return unexpected(made_output.error());
        auto made_error = output_end(std::move(err.read_end), options.cancellable_output);
        if (!made_error)
            return unexpected(made_error.error());
        our_output = std::move(*made_output);
        our_error = std::move(*made_error);
    }

    // The environment and the current folder are ours.
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, options.program.c_str(), &setup.actions, &setup.attr, argv.data(),
                           environ);
    if (rc != 0)
        return os_error(rc);
    // The child's ends close when this returns: the child holds its own copies.
    Child child;
    child.process = std::make_unique<PosixProcess>(pid);
    if (options.pipes) {
        child.stdin_pipe = std::make_unique<FdPipe>(std::move(in.write_end));
        child.stdout_pipe = std::move(our_output);
        child.stderr_pipe = std::move(our_error);
    }
    return child;
}

std::string executable_file_name(std::string_view stem) {
    return std::string(stem) + "";
}

} // namespace kest::platform
