#pragma once
// The routing input of one VPN command: which applications and sites the user chose, and in
// which mode. A plain value: every reader works on its own copy.
#include <string>
#include <string_view>
#include <vector>

namespace kest::config {

// A list that keeps first-seen order and drops a text equal to an earlier entry once ASCII
// letters are folded (the first form stays).
class PlanList {
public:
    void append(std::string_view text);
    const std::vector<std::string>& items() const { return items_; }
    bool empty() const { return items_.empty(); }
    std::size_t size() const { return items_.size(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    bool operator==(const PlanList&) const = default;

private:
    std::vector<std::string> items_;
};

struct RoutePlan {
    PlanList process_names;   // executable file names, unchanged (app.exe)
    PlanList exe_paths;       // full executable paths, unchanged
    PlanList folders;         // executable folders, without a trailing separator
    PlanList domains;         // trimmed, dots stripped at both ends, lowercased
    PlanList domain_suffixes; // "." + domain
    PlanList ip_cidrs;        // address "/" prefix length
    PlanList geosite_names;   // rule-set names of named services
    bool selected_mode = false;
    bool ru_preset = false;

    bool operator==(const RoutePlan&) const = default;
};

} // namespace kest::config
