#pragma once
// File paths written into the engine configuration.
#include <string>
#include <string_view>

namespace kest::config {

// "vpn_cache.db" beside the configuration file, by the path rules of the platform whose
// separator is sep ("\" also accepts "/" and a drive prefix). A bare file name gives the bare
// cache name; a path without any parent (empty, a root) gives the cache in ".".
std::string cache_file_path(std::string_view config_path, char sep);

// The folder "geo" of the data directory, which holds the rule-set files.
std::string rule_set_folder(std::string_view data_directory, char sep);
// The rule-set file in that folder.
std::string rule_set_path(std::string_view data_directory, std::string_view file_name, char sep);

// Path text as the engine reads it: ill-formed UTF-8 becomes U+FFFD, so one odd byte in a folder
// name cannot make the whole configuration unwritable.
std::string path_text(std::string_view path);

} // namespace kest::config
