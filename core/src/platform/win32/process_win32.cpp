#include "platform/process.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/command_line.h"
#include "platform/win32/windows_api.h"

namespace kest::platform {
namespace {

class HandlePipe final : public PipeEnd {
public:
    explicit HandlePipe(HANDLE h) : h_(h) {}
    ~HandlePipe() override { close(); }

    ReadResult read(char* buf, std::size_t size) override {
        if (!h_)
            return {ReadStatus::Error};
        DWORD n = 0;
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (ReadFile(h_, buf, chunk, &n, nullptr))
            return n == 0 ? ReadResult{ReadStatus::End} : ReadResult{ReadStatus::Data, n};
        DWORD err = GetLastError();
        if (err == ERROR_BROKEN_PIPE || err == ERROR_HANDLE_EOF)
            return {ReadStatus::End};
        return {ReadStatus::Error};
    }

    bool write(std::string_view bytes) override {
        std::size_t done = 0;
        while (h_ && done < bytes.size()) {
            DWORD written = 0;
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
            if (!WriteFile(h_, bytes.data() + done, chunk, &written, nullptr) || written == 0)
                return false;
            done += written;
        }
        return h_ != nullptr;
    }

    void close() override {
        if (h_)
            CloseHandle(h_);
        h_ = nullptr;
    }

private:
    HANDLE h_;
};

class Win32Process final : public Process {
public:
    Win32Process(HANDLE process, HANDLE thread, DWORD pid)
        : process_(process), thread_(thread), pid_(pid) {}
    ~Win32Process() override {
        CloseHandle(process_);
        if (thread_)
            CloseHandle(thread_);
    }

    std::uint32_t pid() const override { return pid_; }

    std::optional<int> try_wait() override {
        DWORD r = WaitForSingleObject(process_, 0);
        if (r == WAIT_TIMEOUT)
            return std::nullopt;
        return exit_code();
    }

    int wait() override {
        WaitForSingleObject(process_, INFINITE);
        return exit_code();
    }

    void terminate(int code) override { TerminateProcess(process_, static_cast<UINT>(code)); }

private:
    int exit_code() {
        DWORD code = 0;
        if (!GetExitCodeProcess(process_, &code))
            return -1;
        return static_cast<int>(code);
    }

    HANDLE process_;
    HANDLE thread_;
    DWORD pid_;
};

// The child's pipe ends are inheritable from their creation until they are closed after the
// start; creating pipes and processes under one lock keeps one child's ends out of another.
std::mutex& spawn_lock() {
    static std::mutex m;
    return m;
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
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE ends[6] = {}; // child stdin read, our stdin write, our stdout read, child stdout write,
                         // our stderr read, child stderr write
    auto close_all = [&] {
        for (HANDLE& h : ends)
            if (h) {
                CloseHandle(h);
                h = nullptr;
            }
    };
    STARTUPINFOEXW six{};
    STARTUPINFOW& si = six.StartupInfo;
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    if (options.pipes) {
        if (!CreatePipe(&ends[0], &ends[1], &inherit, 0) ||
            !CreatePipe(&ends[2], &ends[3], &inherit, 0) ||
            !CreatePipe(&ends[4], &ends[5], &inherit, 0)) {
            auto e = win32::last_error();
            close_all();
            return e;
        }
        SetHandleInformation(ends[1], HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(ends[2], HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(ends[4], HANDLE_FLAG_INHERIT, 0);
        si.hStdInput = ends[0];
        si.hStdOutput = ends[3];
        si.hStdError = ends[5];
    } else {
        HANDLE nul =
            CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inherit, OPEN_EXISTING, 0, nullptr);
        ends[0] = nul == INVALID_HANDLE_VALUE ? nullptr : nul;
        si.hStdInput = si.hStdOutput = si.hStdError = ends[0];
    }
    std::vector<HANDLE> own_ends;
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
        if (h && std::find(own_ends.begin(), own_ends.end(), h) == own_ends.end())
            own_ends.push_back(h);
    const BOOL inherit_ends = !own_ends.empty();
    InheritList inherited(std::move(own_ends));
    DWORD flags = CREATE_UNICODE_ENVIRONMENT | (options.no_window ? CREATE_NO_WINDOW : 0);
    if (inherit_ends) {
        if (!inherited.build()) {
            auto e = win32::last_error();
            close_all();
            return e;
        }
        si.cb = sizeof six;
        six.lpAttributeList = inherited.list();
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    std::wstring program = win32::wide(options.program);
    std::wstring command = win32::wide(build_command_line(options.program, options.args));
    PROCESS_INFORMATION pi{};
    BOOL ok = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, inherit_ends, flags,
                             nullptr, nullptr, &si, &pi);
    if (!ok) {
        auto e = win32::last_error();
        close_all();
        return e;
    }
    Child child;
    child.process = std::make_unique<Win32Process>(pi.hProcess, pi.hThread, pi.dwProcessId);
    if (options.pipes) {
        CloseHandle(ends[0]);
        CloseHandle(ends[3]);
        CloseHandle(ends[5]);
        child.stdin_pipe = std::make_unique<HandlePipe>(ends[1]);
        child.stdout_pipe = std::make_unique<HandlePipe>(ends[2]);
        child.stderr_pipe = std::make_unique<HandlePipe>(ends[4]);
    } else if (ends[0]) {
        CloseHandle(ends[0]);
    }
    return child;
}

} // namespace kest::platform
