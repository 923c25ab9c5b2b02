#include "vpn/host/orphan_cleanup.h"

#include "config/values.h"
#include "platform/env.h"
#include "platform/process.h"
#include "platform/self_path.h"
#include "text/ascii.h"
#include "text/lowercase.h"
#include "text/path_text.h"
#include "vpn/host/adapter_identifier.h"
#include "vpn/host/device_listing.h"
#include "vpn/host/folder_prefix.h"
#include "vpn/texts.h"

namespace kest::vpn {
namespace {

bool is_engine_name(std::string_view exe_name) {
    for (std::string_view stem : {"sing-box", "vuvezozire"})
        if (text::equals_ignoring_ascii_case(exe_name, platform::executable_file_name(stem)))
            return true;
    return false;
}

bool starts_with_any(std::string_view text, const std::vector<std::string>& prefixes) {
    for (const auto& prefix : prefixes)
        if (text.starts_with(prefix))
            return true;
    return false;
}

void remove_stale_adapters(const OrphanCleanupSetup& setup, const OrphanCleanupCalls& calls) {
    auto listing =
        calls.run_tool(setup.pnputil, {"/enum-devices", "/class", "Net"}, setup.tool_time_limit);
    if (!listing) {
        calls.log(fill_text(texts::device_listing_failed, {listing.error()}));
        return;
    }
    // Without a digest the adapter is still known by its name.
    std::string identifier = adapter_identifier(config::kTunInterfaceName).value_or("");
    for (const auto& id : device_ids_naming(*listing, {identifier, config::kTunInterfaceName})) {
        auto removed = calls.run_tool(setup.pnputil, {"/remove-device", id}, setup.tool_time_limit);
        if (removed)
            calls.log(fill_text(texts::adapter_removed, {id}));
        else
            calls.log(fill_text(texts::adapter_removal_failed, {id, removed.error()}));
    }
}

EnvLookup process_env() {
    return [](std::string_view name) { return platform::get_env(name); };
}

} // namespace

std::vector<std::string> own_folders_for(std::optional<std::string_view> running_exe,
                                         const EnvLookup& env, char sep) {
    std::vector<std::string> folders;
    if (running_exe) {
        std::string_view name = text::file_name_of(*running_exe);
        std::string_view folder = running_exe->substr(0, running_exe->size() - name.size());
        while (text::ends_with_separator(folder))
            folder.remove_suffix(1);
        if (!folder.empty())
            folders.emplace_back(folder);
    }
    folders.push_back(data_dir_from(env, sep));
    auto local = env("LOCALAPPDATA");
    std::string base =
        local && !local->empty() ? *local : text::join_path(home_dir_from(env), ".cache", sep);
    folders.push_back(text::join_path(base, "Kest Connect", sep));
    return folders;
}

OrphanCleanupSetup running_orphan_cleanup_setup() {
    OrphanCleanupSetup setup;
    auto exe = platform::own_executable_path();
    setup.own_folders = own_folders_for(exe ? std::optional<std::string_view>(*exe) : std::nullopt,
                                        process_env(), platform::path_separator());
    setup.pnputil = pnputil_path();
    return setup;
}

EngineCounts end_orphan_engines(const std::vector<std::string>& own_folders,
                                const OrphanCleanupCalls& calls) {
    EngineCounts counts;
    std::vector<platform::SnapshotProcess> processes = calls.processes.snapshot();
    if (processes.empty())
        return counts;
    std::vector<std::string> prefixes;
    for (const auto& folder : own_folders)
        prefixes.push_back(folder_prefix(folder, calls.processes.separator));
    platform::ImagePathBuffer buffer;
    for (const auto& process : processes) {
        if (process.pid == calls.processes.self_pid || !is_engine_name(process.exe_name) ||
            calls.spared(process.pid))
            continue;
        std::string path = calls.processes.image_path(process.pid, buffer);
        // A path we may not read (a protected process) is nobody we can vouch for.
        if (path.empty() || !starts_with_any(text::to_lower(path), prefixes)) {
            ++counts.foreign;
            continue;
        }
        if (calls.terminate(process.pid, 1))
            ++counts.ended;
    }
    if (counts.ended > 0)
        calls.log(fill_text(texts::orphan_engines_ended, {std::to_string(counts.ended)}));
    if (counts.foreign > 0)
        calls.log(fill_text(texts::foreign_engines_left, {std::to_string(counts.foreign)}));
    return counts;
}

void cleanup_orphans(CleanupPending& pending, const OrphanCleanupSetup& setup,
                     const OrphanCleanupCalls& calls) {
    if (!pending.load())
        return;
    struct ClearWhenDone {
        CleanupPending& pending;
        ~ClearWhenDone() { pending.store(false); }
    } clear{pending};
    (void)end_orphan_engines(setup.own_folders, calls);
    // Removing a device needs the administrator's right; without it the step is skipped
    // silently.
    if (calls.is_administrator())
        remove_stale_adapters(setup, calls);
}

void cleanup_orphans(CleanupPending& pending) {
    if (!pending.load())
        return;
    cleanup_orphans(pending, running_orphan_cleanup_setup(), OrphanCleanupCalls{});
}

std::string pnputil_path_from(std::optional<std::string_view> system_root, char sep,
                              std::string_view file_name) {
    std::string path(system_root.value_or("C:\\Windows"));
    path.push_back(sep);
    path.append("System32");
    path.push_back(sep);
    path.append(file_name);
    return path;
}

std::string pnputil_path() {
    auto root = platform::get_env("SystemRoot");
    return pnputil_path_from(root ? std::optional<std::string_view>(*root) : std::nullopt,
                             platform::path_separator(), platform::executable_file_name("pnputil"));
}

} // namespace kest::vpn
