#include "support/process_counts.h"

#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"

#include <tlhelp32.h>
#include <winternl.h>

namespace kest::testing {
namespace {

// The layout of the system's handle list (information class 64), which the SDK headers leave out.
struct HandleEntry {
    PVOID object;
    ULONG_PTR process_id;
    ULONG_PTR handle_value;
    ULONG granted_access;
    USHORT creator_back_trace_index;
    USHORT object_type_index;
    ULONG attributes;
    ULONG reserved;
};

constexpr ULONG kExtendedHandleInformation = 64;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

// The process's entries in the system's handle list. Wine answers GetProcessHandleCount with 0
// for every process, but keeps this list.
std::optional<std::size_t> handles_in_system_list(std::uint32_t pid) {
    using Query = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto query = ntdll ? reinterpret_cast<Query>(reinterpret_cast<void*>(
                             GetProcAddress(ntdll, "NtQuerySystemInformation")))
                       : nullptr;
    if (!query)
        return std::nullopt;
    std::vector<ULONG_PTR> buffer(1 << 17); // aligned for the entries
    NTSTATUS status;
    for (;;) {
        ULONG needed = 0;
        status = query(kExtendedHandleInformation, buffer.data(),
                       static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR)), &needed);
        if (status != kInfoLengthMismatch || buffer.size() > (std::size_t(1) << 26))
            break;
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0)
        return std::nullopt;
    // A count and a reserved word, then the entries.
    const ULONG_PTR listed = buffer[0];
    const auto* entries = reinterpret_cast<const HandleEntry*>(buffer.data() + 2);
    const std::size_t room = (buffer.size() - 2) * sizeof(ULONG_PTR) / sizeof(HandleEntry);
    if (listed > room)
        return std::nullopt;
    std::size_t count = 0;
    for (ULONG_PTR i = 0; i < listed; ++i)
        if (entries[i].process_id == pid)
            ++count;
    return count;
}

} // namespace

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
    // A running process always holds some handles: 0 is a count the system did not keep.
    if (process && GetProcessHandleCount(process.get(), &handles) && handles > 0)
        counts.handles = handles;
    else
        counts.handles = handles_in_system_list(pid);
    return counts;
}

} // namespace kest::testing
