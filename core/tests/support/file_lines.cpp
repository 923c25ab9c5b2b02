#include "support/file_lines.h"

#include "platform/fs.h"

namespace kest::testing {

std::vector<std::string> file_lines(const std::string& path) {
    std::vector<std::string> lines;
    auto text = platform::read_file(path);
    if (!text)
        return lines;
    for (std::size_t begin = 0, end; (end = text->find('\n', begin)) != std::string::npos;
         begin = end + 1)
        lines.push_back(text->substr(begin, end - begin));
    return lines;
}

} // namespace kest::testing
