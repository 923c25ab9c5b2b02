#include "util/data_dir.h"

#include "platform/env.h"
#include "text/path_text.h"

namespace kest {
namespace {

std::optional<std::string> non_empty(const EnvLookup& env, std::string_view name) {
    auto v = env(name);
    if (v && !v->empty())
        return v;
    return std::nullopt;
}

EnvLookup process_env() {
    return [](std::string_view name) { return platform::get_env(name); };
}

} // namespace

std::string home_dir_from(const EnvLookup& env) {
    if (auto v = non_empty(env, "USERPROFILE"))
        return *v;
    if (auto v = non_empty(env, "HOME"))
        return *v;
    return ".";
}

std::string data_dir_from(const EnvLookup& env, char sep) {
    if (auto appdata = non_empty(env, "APPDATA"))
        return text::join_path(*appdata, "Kest Connect", sep);
    return text::join_path(text::join_path(home_dir_from(env), ".config", sep), "Kest Connect",
                           sep);
}

std::string data_dir() {
    return data_dir_from(process_env(), platform::path_separator());
}
std::string home_dir() {
    return home_dir_from(process_env());
}

} // namespace kest
