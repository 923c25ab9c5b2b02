#include "apps/icons.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "apps/icon_text.h"
#include "apps/icon_workers.h"
#include "apps/texts.h"
#include "util/log.h"

namespace kest::apps {
namespace {

// Runs min(paths, 8) workers over the paths and waits for all of them. A worker that cannot
// be started, or one that fails outside its per-icon guard, is rethrown here once every worker
// that did start has ended.
void run_icon_workers(std::atomic<std::size_t>& next, const std::vector<std::string>& paths,
                      IconResults& results, const IconMaker& make) {
    std::size_t count = std::min(paths.size(), kMaxIconWorkers);
    std::vector<std::exception_ptr> faults(count);
    std::vector<std::thread> workers;
    workers.reserve(count);
    std::exception_ptr refused;
    for (std::size_t k = 0; k < count; ++k) {
        try {
            workers.emplace_back([&, k] {
                try {
                    icon_worker(next, paths, results, make);
                } catch (...) {
                    faults[k] = std::current_exception();
                }
            });
        } catch (...) {
            refused = std::current_exception();
            break;
        }
    }
    for (std::thread& worker : workers)
        worker.join();
    if (refused)
        std::rethrow_exception(refused);
    for (const std::exception_ptr& fault : faults)
        if (fault)
            std::rethrow_exception(fault);
}

} // namespace

void icon_worker(std::atomic<std::size_t>& next, const std::vector<std::string>& paths,
                 IconResults& results, const IconMaker& make) {
    for (;;) {
        std::size_t i = next.fetch_add(1);
        if (i >= paths.size())
            return;
        std::string icon;
        try {
            icon = make(paths[i]);
        } catch (...) {
            icon.clear();
            std::string line(kIconPanicOpen);
            line += paths[i];
            line += kIconPanicClose;
            log_line(LogTag::Apps, line);
        }
        std::lock_guard lock(results.lock);
        results.items.emplace_back(i, std::move(icon));
    }
}

std::vector<AppEntry> fill_icons_with(AppCaches& caches, std::vector<AppEntry> list,
                                      const IconMaker& make) {
    std::vector<std::size_t> missing; // positions in the list
    {
        std::lock_guard lock(caches.icon_cache_lock);
        const auto& cache = caches.icon_cache;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (cache && !cache->empty()) {
                auto found = cache->find(list[i].exe_path);
                if (found != cache->end()) {
                    list[i].icon = found->second;
                    continue;
                }
            }
            missing.push_back(i);
        }
    }
    if (missing.empty())
        return list;

    std::vector<std::string> paths;
    paths.reserve(missing.size());
    for (std::size_t i : missing)
        paths.push_back(list[i].exe_path);
    std::atomic<std::size_t> next{0};
    IconResults results;
    results.items.reserve(paths.size());
    run_icon_workers(next, paths, results, make);

    // The workers have ended: the results are this thread's alone now.
    std::lock_guard lock(caches.icon_cache_lock);
    auto& cache = caches.icon_cache;
    if (!cache)
        cache.emplace();
    for (auto& [i, icon] : results.items) {
        cache->insert_or_assign(paths[i], icon);
        list[missing[i]].icon = std::move(icon);
    }
    return list;
}

std::vector<AppEntry> fill_icons(AppCaches& caches, std::vector<AppEntry> list) {
    return fill_icons_with(caches, std::move(list),
                           [](const std::string& exe_path) { return icon_text_of(exe_path); });
}

} // namespace kest::apps
