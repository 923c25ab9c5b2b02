#pragma once
// JSON arrays of texts, made from the fixed tables and the plan's lists.
#include <string>
#include <string_view>

#include "json/json.h"

namespace kest::config {

template <class Range> Json string_array(const Range& texts) {
    Json out = Json::array();
    for (const auto& text : texts)
        out.push_back(std::string(text));
    return out;
}

// "." + host, the form that matches the host's subdomains as a suffix. (Built by appending:
// GCC 12 warns falsely about operator+ on a literal and a temporary string here.)
inline std::string dotted(std::string_view host) {
    std::string out;
    out.reserve(host.size() + 1);
    out.push_back('.');
    out.append(host);
    return out;
}

// Each host with a "." before it, the form that matches the host's subdomains as a suffix.
template <class Range> Json dotted_array(const Range& hosts) {
    Json out = Json::array();
    for (const auto& host : hosts)
        out.push_back(dotted(host));
    return out;
}

} // namespace kest::config
