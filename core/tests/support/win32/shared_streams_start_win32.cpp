#include "support/shared_streams_start.h"

#include "platform/command_line.h"
#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"

namespace kest::testing {

Expected<std::uint32_t> start_with_shared_streams(const std::string& program,
                                                  const std::vector<std::string>& args) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    // Handles are handed down only when inheritable; ours may have come without that mark.
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
        if (h && h != INVALID_HANDLE_VALUE &&
            !SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
            return platform::win32::last_error();
    std::wstring wide_program = platform::win32::wide(program);
    std::wstring command = platform::win32::wide(platform::build_command_line(program, args));
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(wide_program.c_str(), command.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return platform::win32::last_error();
    platform::win32::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    return static_cast<std::uint32_t>(pi.dwProcessId);
}

} // namespace kest::testing
