#pragma once
// Where the core keeps its files: "Kest Connect" in APPDATA, else in ".config" of the home folder.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kest {

using EnvLookup = std::function<std::optional<std::string>(std::string_view)>;

// The process environment, the platform's path separator.
std::string data_dir();
std::string home_dir();

// The same rules over any environment and separator, so both builds can test the Windows form.
std::string data_dir_from(const EnvLookup& env, char sep);
std::string home_dir_from(const EnvLookup& env);

} // namespace kest
