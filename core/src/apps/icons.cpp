#include "apps/icons.h"

namespace kest::apps {

// Placeholder until icon extraction lands: every entry keeps the icon it has.
std::vector<AppEntry> fill_icons(AppCaches&, std::vector<AppEntry> list) {
    return list;
}

} // namespace kest::apps
