#include "support/slow_thread_exits.h"

#include <atomic>
#include <cstdint>

#include "platform/win32/windows_api.h"

namespace kest::testing {
namespace {

std::atomic<bool> slowed{false};

// Each thread that starts while exits are slowed carries the number of the SlowThreadExits it
// started under in a TLS slot of its own, so that its end is counted there and only there.
std::atomic<DWORD> mark{TLS_OUT_OF_INDEXES};
std::atomic<std::uintptr_t> generation{0};
std::atomic<std::size_t> started{0};
std::atomic<std::size_t> ended{0};

// The callback runs under the loader lock, which every thread's start and end take in turn, so
// while one exit sleeps no other thread starts or ends. A record freed by a detach that came too
// late must meanwhile be handed to a newer thread for the fault to show: in 5 ms the starters
// manage that, and the newer thread cannot start before the old thread's exit work wipes its
// record, so it never runs. At 2 ms the fault shows as often, but mostly as a crash on a record
// two threads share, which tells less; longer only slows the tests, as exits wait their turn.
constexpr DWORD kExitDelayMs = 5;

void NTAPI slow_exit(PVOID, DWORD reason, PVOID) {
    if (!slowed.load())
        return;
    const DWORD slot = mark.load();
    const bool counted = slot != TLS_OUT_OF_INDEXES;
    if (reason == DLL_THREAD_ATTACH && counted) {
        TlsSetValue(slot, reinterpret_cast<void*>(generation.load()));
        started.fetch_add(1);
    } else if (reason == DLL_THREAD_DETACH) {
        Sleep(kExitDelayMs);
        if (counted && reinterpret_cast<std::uintptr_t>(TlsGetValue(slot)) == generation.load())
            ended.fetch_add(1);
    }
}

// Wine often ends a process whose thread crashed with exit code 0, which a test runner takes
// for success; yet a crash is how a record handed to two threads shows in about one run in five.
// While exits are slowed, a crash ends the process with a line saying so and a code that fails
// the run. Only the system's calls, none that loads a DLL: the crashed thread may hold the C
// library's locks, and another thread the loader lock.
LPTOP_LEVEL_EXCEPTION_FILTER previous_filter = nullptr;

LONG WINAPI fail_on_crash(EXCEPTION_POINTERS* exception) {
    char line[] = "a thread crashed while thread exits were slowed: exception 0x00000000\n";
    DWORD code = exception->ExceptionRecord->ExceptionCode;
    char* digit = line + sizeof line - 2; // before the newline and the terminator
    for (int i = 0; i < 8; ++i, code >>= 4)
        *--digit = "0123456789ABCDEF"[code & 0xF];
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, sizeof line - 1, &written, nullptr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace
} // namespace kest::testing

// The TLS callbacks run in the order of their sections' names: this one before the thread
// library's, which sits in .CRT$XLF. Referenced by nothing but the loader, hence "used"; the
// object is linked in with the class below.
extern "C" __attribute__((section(".CRT$XLC"), used))
const PIMAGE_TLS_CALLBACK kest_test_slow_thread_exit = kest::testing::slow_exit;

namespace kest::testing {

SlowThreadExits::SlowThreadExits() {
    // One slot for the process's life: threads of an earlier instance may still be ending.
    if (mark.load() == TLS_OUT_OF_INDEXES)
        mark.store(TlsAlloc());
    generation.fetch_add(1);
    started.store(0);
    ended.store(0);
    previous_filter = SetUnhandledExceptionFilter(fail_on_crash);
    slowed.store(true);
}
SlowThreadExits::~SlowThreadExits() {
    slowed.store(false);
    SetUnhandledExceptionFilter(previous_filter);
}

std::optional<SlowThreadExits::Threads> SlowThreadExits::threads() const {
    if (mark.load() == TLS_OUT_OF_INDEXES)
        return std::nullopt;
    // Ended first: a thread that ends between the two loads is then never counted as ended
    // without being counted as started.
    const std::size_t gone = ended.load();
    return Threads{started.load(), gone};
}

} // namespace kest::testing
