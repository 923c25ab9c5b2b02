#include "platform/exit.h"

#include "platform/win32/windows_api.h"

namespace kest::platform {

void exit_process(int code) {
    ExitProcess(static_cast<UINT>(code));
}

} // namespace kest::platform
