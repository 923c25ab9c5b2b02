#include "platform/arguments.h"

#include "platform/win32/windows_api.h"

#include <shellapi.h>

namespace kest::platform {

std::vector<std::string> program_arguments(int argc, char** argv) {
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide)
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < n; ++i)
        args.push_back(win32::narrow(std::wstring(wide[i])));
    LocalFree(wide);
    return args;
}

} // namespace kest::platform
