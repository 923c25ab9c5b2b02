#include "util/write_atomic.h"

#include "platform/fs.h"
#include "text/path_text.h"

namespace kest {

Expected<void> write_atomic(const std::string& target, std::string_view bytes) {
    std::string_view name = text::file_name_of(target);
    std::string parent = target.substr(0, target.size() - name.size());
    // "dir/" names the folder "dir"; the roots "/" and "C:\" stay as they are.
    while (parent.size() > 1 && text::ends_with_separator(parent) &&
           !(parent.size() == 3 && parent[1] == ':'))
        parent.pop_back();
    if (!parent.empty()) {
        if (auto made = platform::create_directories(parent); !made)
            return made;
    }
    std::string tmp = target + ".tmp";
    if (auto written = platform::write_file(tmp, bytes); !written)
        return written; // the temporary file stays, as a later write truncates it anyway
    if (auto renamed = platform::rename_replace(tmp, target); !renamed) {
        (void)platform::remove_file(tmp);
        return renamed;
    }
    return {};
}

} // namespace kest
