#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/fd_io.h"

extern char** environ;

namespace kest::platform {
namespace {

Unexpected<std::string> os_error(int err) {
    return unexpected(posix::error_text(err));
}

class FdPipe final : public PipeEnd {
public:
    explicit FdPipe(int fd) : fd_(fd) {}
    ~FdPipe() override { close(); }

    ReadResult read(char* buf, std::size_t size) override {
        if (fd_ < 0)
            return {ReadStatus::Error};
        return posix::read_some(fd_, buf, size);
    }

    bool write(std::string_view bytes) override { return fd_ >= 0 && posix::write_all(fd_, bytes); }

    void close() override {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

class PosixProcess final : public Process {
public:
    explicit PosixProcess(pid_t pid) : pid_(pid) {}

    std::uint32_t pid() const override { return static_cast<std::uint32_t>(pid_); }

    std::optional<int> try_wait() override {
        if (exit_code_)
            return exit_code_;
        int status = 0;
        pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == 0)
            return std::nullopt;
        exit_code_ = r < 0 ? -1 : decode(status);
        return exit_code_;
    }

    int wait() override {
        if (exit_code_)
            return *exit_code_;
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(pid_, &status, 0);
        } while (r < 0 && errno == EINTR);
        exit_code_ = r < 0 ? -1 : decode(status);
        return *exit_code_;
    }

    void terminate(int) override {
        if (!exit_code_)
            ::kill(pid_, SIGKILL);
    }

private:
    static int decode(int status) {
        if (WIFEXITED(status))
            return WEXITSTATUS(status);
        return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    }

    pid_t pid_;
    std::optional<int> exit_code_;
};

} // namespace

Expected<Child> spawn(const SpawnOptions& options) {
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    auto close_all = [&] {
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            if (fd >= 0)
                ::close(fd);
    };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.pipes) {
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
            ::pipe2(err, O_CLOEXEC) != 0) {
            int e = errno;
            close_all();
            posix_spawn_file_actions_destroy(&actions);
            return os_error(e);
        }
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(options.program.c_str()));
    for (const auto& a : options.args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    // Our own SIGPIPE is ignored; the child starts with the default disposition.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, options.program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        close_all();
        return os_error(rc);
    }
    Child child;
    child.process = std::make_unique<PosixProcess>(pid);
    if (options.pipes) {
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        child.stdin_pipe = std::make_unique<FdPipe>(in[1]);
        child.stdout_pipe = std::make_unique<FdPipe>(out[0]);
        child.stderr_pipe = std::make_unique<FdPipe>(err[0]);
    }
    return child;
}

} // namespace kest::platform
