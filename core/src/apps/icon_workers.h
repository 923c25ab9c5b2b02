#pragma once
// The worker threads that make the missing icons of one fill_icons call. The icon maker is a
// parameter so that the sharing of work can be seen apart from the shell.
#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "apps/app_caches.h"
#include "apps/app_entry.h"

namespace kest::apps {

inline constexpr std::size_t kMaxIconWorkers = 8;

// Makes the icon text of one executable path ("" when it has none).
using IconMaker = std::function<std::string(const std::string& exe_path)>;

// What the workers of one call hand back: (index into the paths, icon text), in the order in
// which they finished.
struct IconResults {
    std::mutex lock;
    std::vector<std::pair<std::size_t, std::string>> items;
};

// Takes the next unclaimed path until none is left; a panic while making one icon gives that
// icon "" and a log line.
void icon_worker(std::atomic<std::size_t>& next, const std::vector<std::string>& paths,
                 IconResults& results, const IconMaker& make);

// fill_icons with the given maker in place of the shell's icons.
std::vector<AppEntry> fill_icons_with(AppCaches& caches, std::vector<AppEntry> list,
                                      const IconMaker& make);

} // namespace kest::apps
