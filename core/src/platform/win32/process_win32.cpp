#include "platform/process.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/command_line.h"
#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"

namespace kest::platform {
namespace {

using win32::UniqueKernelHandle;

ReadResult read_failure(DWORD err) {
    return {ReadStatus::Error, 0, win32::error_text(err)};
}

// Ends a synchronous read pending on another thread. Anonymous pipes know no overlapped reads,
// but CancelSynchronousIo aborts the read a given thread is in. It reaches only a read already
// entered: a cancel that comes between the reader's registration and its ReadFile finds
// nothing, so it is repeated until the reader has left. While registered the reader is inside
// read(), so its thread id cannot meanwhile have passed to another thread, and every attempt is
// made under the lock that it needs to leave.
class ReadCanceller {
public:
    // False once cancelled: the read must not begin.
    bool enter() {
        std::lock_guard lock(mutex_);
        if (cancelled_)
            return false;
        reader_ = GetCurrentThreadId();
        return true;
    }

    void leave() {
        std::lock_guard lock(mutex_);
        reader_ = 0;
        left_.notify_all();
    }

    void cancel() {
        std::unique_lock lock(mutex_);
        cancelled_ = true;
        if (reader_ == 0)
            return;
        // A thread of our own process can always be opened; should it fail, nothing could
        // reach the read, and waiting for it would hang the canceller too.
        UniqueKernelHandle thread(OpenThread(THREAD_TERMINATE, FALSE, reader_));
        if (!thread)
            return;
        while (reader_ != 0) {
            CancelSynchronousIo(thread.get());
            left_.wait_for(lock, std::chrono::milliseconds(1));
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable left_;
    DWORD reader_ = 0;
    bool cancelled_ = false;
};

class HandlePipe final : public PipeEnd {
public:
    explicit HandlePipe(UniqueKernelHandle h, bool cancellable = false) : h_(std::move(h)) {
        if (cancellable)
            canceller_.emplace();
    }

    ReadResult read(char* buf, std::size_t size) override {
        if (!h_)
            return read_failure(ERROR_INVALID_HANDLE);
        if (canceller_ && !canceller_->enter())
            return read_failure(ERROR_OPERATION_ABORTED);
        DWORD n = 0;
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        const BOOL ok = ReadFile(h_.get(), buf, chunk, &n, nullptr);
        const DWORD err = ok ? ERROR_SUCCESS : GetLastError();
        if (canceller_)
            canceller_->leave();
        if (ok)
            return n == 0 ? ReadResult{ReadStatus::End} : ReadResult{ReadStatus::Data, n};
        if (err == ERROR_BROKEN_PIPE || err == ERROR_HANDLE_EOF)
            return {ReadStatus::End};
        return read_failure(err);
    }

    void cancel() override {
        if (canceller_)
            canceller_->cancel();
    }

    bool write(std::string_view bytes) override {
        std::size_t done = 0;
        while (h_ && done < bytes.size()) {
            DWORD written = 0;
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
            if (!WriteFile(h_.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
                return false;
            done += written;
        }
        return h_.valid();
    }

    void close() override { h_.reset(); }

private:
    UniqueKernelHandle h_;
    std::optional<ReadCanceller> canceller_;
};

class Win32Process final : public Process {
public:
    Win32Process(UniqueKernelHandle process, UniqueKernelHandle thread, DWORD pid)
        : process_(std::move(process)), thread_(std::move(thread)), pid_(pid) {}

    std::uint32_t pid() const override { return pid_; }

    std::optional<int> try_wait() override {
        DWORD r = WaitForSingleObject(process_.get(), 0);
        if (r == WAIT_TIMEOUT)
            return std::nullopt;
        return exit_code();
    }

    int wait() override {
        WaitForSingleObject(process_.get(), INFINITE);
        return exit_code();
    }

    void terminate(int code) override { TerminateProcess(process_.get(), static_cast<UINT>(code)); }

private:
    int exit_code() {
        DWORD code = 0;
        if (!GetExitCodeProcess(process_.get(), &code))
            return -1;
        return static_cast<int>(code);
    }

    UniqueKernelHandle process_;
    UniqueKernelHandle thread_;
    DWORD pid_;
};

// The child's pipe ends are inheritable from their creation until they are closed after the
// start; creating pipes and processes under one lock keeps one child's ends out of another.
std::mutex& spawn_lock() {
    static std::mutex m;
    return m;
}

// One anonymous pipe: the child's end inheritable, ours not.
struct PipePair {
    UniqueKernelHandle child_end;
    UniqueKernelHandle our_end;
};

enum class ChildSide { Reads, Writes };

Expected<PipePair> make_pipe(ChildSide side) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0))
        return win32::last_error();
    UniqueKernelHandle r(read_end), w(write_end);
    PipePair pair = side == ChildSide::Reads ? PipePair{std::move(r), std::move(w)}
                                             : PipePair{std::move(w), std::move(r)};
    if (!SetHandleInformation(pair.our_end.get(), HANDLE_FLAG_INHERIT, 0))
        return win32::last_error();
    return pair;
}

// The three streams the child gets: new pipes, or the null device on all three.
struct ChildStreams {
    UniqueKernelHandle input, output, error; // the child's ends
    UniqueKernelHandle nul;
    std::unique_ptr<PipeEnd> our_input, our_output, our_error;
};

Expected<ChildStreams> make_streams(const SpawnOptions& options) {
    ChildStreams s;
    if (!options.pipes) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        s.nul = UniqueKernelHandle(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                               OPEN_EXISTING, 0, nullptr));
        return s;
    }
    auto in = make_pipe(ChildSide::Reads);
    if (!in)
        return unexpected(in.error());
    auto out = make_pipe(ChildSide::Writes);
    if (!out)
        return unexpected(out.error());
    auto err = make_pipe(ChildSide::Writes);
    if (!err)
        return unexpected(err.error());
    s.input = std::move(in->child_end);
    s.output = std::move(out->child_end);
    s.error = std::move(err->child_end);
    s.our_input = std::make_unique<HandlePipe>(std::move(in->our_end));
    s.our_output =
        std::make_unique<HandlePipe>(std::move(out->our_end), options.cancellable_output);
    s.our_error = std::make_unique<HandlePipe>(std::move(err->our_end), options.cancellable_output);
    return s;
}

// Limits what a child inherits to the handles named here. Without such a list a child inherits
// every inheritable handle of the core, among them the standard streams the front end gave it:
// an engine that outlived the core would keep the front end's pipes open.
class InheritList {
public:
    explicit InheritList(std::vector<HANDLE> handles) : handles_(std::move(handles)) {}
    ~InheritList() {
        if (ready_)
            DeleteProcThreadAttributeList(list());
    }
    InheritList(const InheritList&) = delete;
    InheritList& operator=(const InheritList&) = delete;

    // False with the system's error set when the list cannot be built.
    bool build() {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        if (!InitializeProcThreadAttributeList(list(), 1, 0, &size))
            return false;
        ready_ = true;
        return UpdateProcThreadAttribute(list(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                         handles_.data(), handles_.size() * sizeof(HANDLE), nullptr,
                                         nullptr);
    }

    LPPROC_THREAD_ATTRIBUTE_LIST list() {
        return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    }

private:
    std::vector<HANDLE> handles_;
    std::vector<char> storage_;
    bool ready_ = false;
};

} // namespace

Expected<Child> spawn(const SpawnOptions& options) {
    std::lock_guard lock(spawn_lock());
    auto streams = make_streams(options);
    if (!streams)
        return unexpected(streams.error());
    STARTUPINFOEXW six{};
    STARTUPINFOW& si = six.StartupInfo;
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    if (options.pipes) {
        si.hStdInput = streams->input.get();
        si.hStdOutput = streams->output.get();
        si.hStdError = streams->error.get();
    } else {
        si.hStdInput = si.hStdOutput = si.hStdError = streams->nul.get();
    }
    std::vector<HANDLE> own_ends;
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
        if (h && std::find(own_ends.begin(), own_ends.end(), h) == own_ends.end())
            own_ends.push_back(h);
    const BOOL inherit_ends = !own_ends.empty();
    InheritList inherited(std::move(own_ends));
    DWORD flags = CREATE_UNICODE_ENVIRONMENT | (options.no_window ? CREATE_NO_WINDOW : 0);
    if (inherit_ends) {
        if (!inherited.build())
            return win32::last_error();
        si.cb = sizeof six;
        six.lpAttributeList = inherited.list();
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    std::wstring program = win32::wide(options.program);
    std::wstring command = win32::wide(build_command_line(options.program, options.args));
    PROCESS_INFORMATION pi{};
    // No environment block and no folder: the child inherits ours.
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, inherit_ends, flags,
                        nullptr, nullptr, &si, &pi))
        return win32::last_error();
    // The child's ends close with streams when this returns: the child holds its own copies.
    Child child;
    child.process = std::make_unique<Win32Process>(UniqueKernelHandle(pi.hProcess),
                                                   UniqueKernelHandle(pi.hThread), pi.dwProcessId);
    child.stdin_pipe = std::move(streams->our_input);
    child.stdout_pipe = std::move(streams->our_output);
    child.stderr_pipe = std::move(streams->our_error);
    return child;
}

std::string executable_file_name(std::string_view stem) {
    return std::string(stem) + ".exe";
}

} // namespace kest::platform
