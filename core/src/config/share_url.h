#pragma once
// A small, permissive reader of share-link URLs: scheme "://" [userinfo "@"] host [":" port]
// [path] ["?" query]. It keeps only what the outbound needs, normalises nothing, and knows no
// fragments (callers cut them off first). Every error is a user-facing Russian text.
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/expected.h"

namespace kest::config {

struct ParsedUrl {
    std::string host; // percent-decoded; an IPv6 literal without its brackets
    std::string port; // as written: ASCII digits only, possibly empty
    std::string user; // percent-decoded; empty without userinfo
    // Absent without userinfo or without ":" in it; present (maybe empty) otherwise.
    std::optional<std::string> password;
    // Form-decoded pairs; the first pair that decoded wins a repeated key.
    std::map<std::string, std::string> query;
};

// The whole link in; the scheme and the path are not kept.
Expected<ParsedUrl> parse_share_url(std::string_view text);

// "%XX" escapes to bytes; the result must be UTF-8. "+" is an ordinary character here.
Expected<std::string> percent_decode(std::string_view component);

// Query keys and values: every "+" becomes a space, then percent_decode.
Expected<std::string> decode_form_component(std::string_view component);

} // namespace kest::config
