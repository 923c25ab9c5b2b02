#include "apps/dollar_vars.h"

#include "platform/env.h"

namespace kest::apps {
namespace {

bool is_name_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

} // namespace

std::string expand_dollar_vars(std::string_view text) {
    if (text.find('$') == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '$' || i + 1 == text.size()) {
            out.push_back(text[i++]);
            continue;
        }
        std::string_view name;
        if (text[i + 1] == '{') {
            std::size_t close = text.find('}', i + 2);
            if (close == std::string_view::npos) {
                out.push_back(text[i++]); // the "{" follows as an ordinary character
                continue;
            }
            name = text.substr(i + 2, close - i - 2);
            i = close + 1;
        } else if (is_name_char(text[i + 1])) {
            std::size_t end = i + 1;
            while (end < text.size() && is_name_char(text[end]))
                ++end;
            name = text.substr(i + 1, end - i - 1);
            i = end;
        } else {
            out.push_back(text[i++]);
            continue;
        }
        if (auto value = platform::get_env_unicode(name))
            out += *value;
    }
    return out;
}

} // namespace kest::apps
