#pragma once
// One entry for a Java runtime, whose javaw.exe hides in launcher and vendor folders that no
// shortcut or uninstall entry names.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/app_entry.h"

namespace kest::apps {

// Deepest folder level read below a candidate (the candidate itself is level 0).
inline constexpr int kJavawMaxDepth = 8;

// Appends base joined with the components when that path exists; nothing without a base.
void collect_existing_paths(std::vector<std::string>& out, const std::optional<std::string>& base,
                            const std::vector<std::string_view>& components);

// The first javaw.exe (any ASCII case) in the folder's own listing, else below its subfolders in
// listing order, down to kJavawMaxDepth levels; folder links are not entered.
std::optional<std::string> find_javaw(const std::string& folder, int depth = 0);

// The runtime folders that exist, in search order: launcher runtimes first, then JDK vendors.
std::vector<std::string> java_runtime_candidates();

// Adds "Java / Minecraft (javaw.exe)" for the first javaw.exe found in the candidates, unless
// the list already holds a javaw.exe.
void append_java_entry(std::vector<AppEntry>& list);

} // namespace kest::apps
