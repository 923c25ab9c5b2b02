#include "platform/memory.h"

#include "platform/win32/windows_api.h"

#include <psapi.h>

namespace kest::platform {

std::uint64_t working_set_size() {
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.WorkingSetSize;
}

void trim_working_set() {
    (void)EmptyWorkingSet(GetCurrentProcess());
}

} // namespace kest::platform
