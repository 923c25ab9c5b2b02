#include "platform/process_terminate.h"

#include "platform/win32/handles.h"

namespace kest::platform {

bool terminate_process(std::uint32_t pid, int exit_code) {
    win32::UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
    if (!process)
        return false;
    return TerminateProcess(process.get(), static_cast<UINT>(exit_code)) != 0;
}

} // namespace kest::platform
