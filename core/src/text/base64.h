#pragma once
// Base64 with the standard alphabet and "=" padding, on one line.
#include <string>
#include <string_view>

namespace kest::text {

std::string base64_encode(std::string_view bytes);

} // namespace kest::text
