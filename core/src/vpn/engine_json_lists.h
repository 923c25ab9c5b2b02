#pragma once
// JSON arrays of texts, made from the fixed tables and the plan's lists.
#include <string>

#include "json/json.h"

namespace kest::vpn {

template <class Range> Json string_array(const Range& texts) {
    Json out = Json::array();
    for (const auto& text : texts)
        out.push_back(std::string(text));
    return out;
}

// Each host with a "." before it, the form that matches the host's subdomains as a suffix.
template <class Range> Json dotted_array(const Range& hosts) {
    Json out = Json::array();
    for (const auto& host : hosts)
        out.push_back("." + std::string(host));
    return out;
}

} // namespace kest::vpn
