#pragma once
// An application the user can choose for routing.
#include <string>

namespace kest::apps {

struct AppEntry {
    std::string name;
    std::string exe_path;
    std::string icon; // PNG data URL, or empty
};

} // namespace kest::apps
