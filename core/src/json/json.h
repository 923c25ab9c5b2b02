#pragma once
// The JSON value tree: nlohmann's json, whose objects are std::map, so keys are written in
// byte order. Output is always compact.
#include <string>

#include <nlohmann/json.hpp>

#include "base/expected.h"

namespace kest {

using Json = nlohmann::json;

namespace json {

// Compact form: no white space, keys in byte order, non-ASCII as UTF-8, control characters
// escaped. Fails (never throws) when a string holds ill-formed UTF-8.
Expected<std::string> dump_compact(const Json& value);

// Appends the compact form to out (which keeps its capacity); false when serialisation fails,
// in which case out is left as it was.
bool append_compact(std::string& out, const Json& value);

} // namespace json
} // namespace kest
