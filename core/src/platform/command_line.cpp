#include "platform/command_line.h"

namespace kest::platform {

void append_quoted_argument(std::string& out, std::string_view arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string_view::npos) {
        out.append(arg);
        return;
    }
    out.push_back('"');
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: double them there and escape the quote.
        if (c == '"')
            out.append(backslashes * 2 + 1, '\\');
        else
            out.append(backslashes, '\\');
        backslashes = 0;
        out.push_back(c);
    }
    // The closing quote must not be escaped by trailing backslashes.
    out.append(backslashes * 2, '\\');
    out.push_back('"');
}

std::string build_command_line(std::string_view program, const std::vector<std::string>& args) {
    std::string line;
    append_quoted_argument(line, program);
    for (const auto& arg : args) {
        line.push_back(' ');
        append_quoted_argument(line, arg);
    }
    return line;
}

} // namespace kest::platform
