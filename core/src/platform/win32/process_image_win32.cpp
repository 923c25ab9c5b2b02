#include "platform/process_image.h"

#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"

namespace kest::platform {

std::string process_image_path(std::uint32_t pid, ImagePathBuffer& buffer) {
    win32::UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process)
        return "";
    auto* units = reinterpret_cast<wchar_t*>(buffer.units);
    DWORD size = static_cast<DWORD>(ImagePathBuffer::kUnits);
    BOOL ok = QueryFullProcessImageNameW(process.get(), 0, units, &size);
    if (!ok || size >= ImagePathBuffer::kUnits)
        return "";
    return win32::narrow(units, size);
}

std::uint32_t current_process_id() {
    return GetCurrentProcessId();
}

} // namespace kest::platform
