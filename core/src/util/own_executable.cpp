#include "util/own_executable.h"

#include <algorithm>

#include "platform/self_path.h"
#include "text/lowercase.h"
#include "text/path_text.h"

namespace kest {
namespace {

std::string with_forward_slashes(std::string_view s) {
    std::string out(s);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

} // namespace

bool is_own_executable_for(std::string_view path, std::optional<std::string_view> running_exe) {
    if (!running_exe)
        return false;
    std::string_view exe_name = text::file_name_of(*running_exe);
    if (exe_name.size() == running_exe->size())
        return false; // no parent folder
    std::string folder =
        with_forward_slashes(running_exe->substr(0, running_exe->size() - exe_name.size()));
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    folder = text::to_lower(folder);

    std::string normalised = text::to_lower(with_forward_slashes(path));
    std::size_t slash = normalised.rfind('/');
    if (slash == std::string::npos)
        return false;
    if (std::string_view(normalised).substr(0, slash) != folder)
        return false;
    std::string_view name = std::string_view(normalised).substr(slash + 1);
    if (name.size() >= 4 && name.substr(name.size() - 4) == ".exe")
        name.remove_suffix(4);
    return name == "kestcore" || name == "vuvezozire" || name == "kest-connect";
}

bool is_own_executable(std::string_view path) {
    auto exe = platform::own_executable_path();
    if (!exe)
        return false;
    return is_own_executable_for(path, std::string_view(*exe));
}

} // namespace kest
