#include "platform/process_snapshot.h"

#include "platform/win32/handles.h"
// After windows.h, which it needs.
#include <tlhelp32.h>

namespace kest::platform {

std::vector<SnapshotProcess> process_snapshot() {
    std::vector<SnapshotProcess> out;
    win32::UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return out;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (!Process32FirstW(snapshot.get(), &entry))
        return out;
    do {
        out.push_back({entry.th32ProcessID,
                       win32::narrow(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH))});
    } while (Process32NextW(snapshot.get(), &entry));
    return out;
}

} // namespace kest::platform
