#include "support/process_counts.h"

#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"

#include <tlhelp32.h>

namespace kest::testing {

ProcessCounts process_counts(std::uint32_t pid) {
    ProcessCounts counts;
    platform::win32::UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot) {
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
             more = Process32NextW(snapshot.get(), &entry)) {
            if (entry.th32ProcessID == pid) {
                counts.threads = entry.cntThreads;
                break;
            }
        }
    }
    platform::win32::UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    DWORD handles = 0;
    if (process && GetProcessHandleCount(process.get(), &handles))
        counts.handles = handles;
    return counts;
}

} // namespace kest::testing
