#include "support/slow_thread_exits.h"

#include <atomic>

#include "platform/win32/windows_api.h"

namespace kest::testing {
namespace {

std::atomic<bool> slowed{false};

void NTAPI slow_exit(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_THREAD_DETACH && slowed.load())
        Sleep(2);
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
    slowed.store(true);
}
SlowThreadExits::~SlowThreadExits() {
    slowed.store(false);
}

} // namespace kest::testing
