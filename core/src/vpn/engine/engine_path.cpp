#include "vpn/engine/engine_path.h"

#include "platform/process.h"
#include "platform/self_path.h"
#include "text/path_text.h"

namespace kest::vpn {

std::string engine_file_name() {
    return platform::executable_file_name("vuvezozire");
}

std::optional<std::string> engine_exe_path_for(std::optional<std::string_view> running_exe) {
    if (!running_exe)
        return std::nullopt;
    std::string_view name = text::file_name_of(*running_exe);
    if (name.size() == running_exe->size())
        return std::nullopt;
    std::string path(running_exe->substr(0, running_exe->size() - name.size()));
    return path + engine_file_name();
}

std::optional<std::string> engine_exe_path() {
    auto self = platform::own_executable_path();
    if (!self)
        return std::nullopt;
    return engine_exe_path_for(std::string_view(*self));
}

} // namespace kest::vpn
