#include "platform/exit.h"

#include "platform/win32/windows_api.h"

namespace kest::platform {

void exit_process(int code) {
    // Not ExitProcess: that runs library detach code, which can wait forever on a lock that a
    // thread held when it was stopped.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    ExitProcess(static_cast<UINT>(code)); // only reached if the termination was refused
}

} // namespace kest::platform
