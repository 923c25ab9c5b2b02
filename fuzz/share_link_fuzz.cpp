// Share links on any bytes. Links reach the core inside JSON strings, so for UTF-8 input the
// outbound must be writable as JSON and carry the fields every later step relies on.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config/share_link.h"
#include "fuzz_check.h"
#include "text/utf8.h"
#include "json/json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view link(reinterpret_cast<const char*>(data), size);
    // UDP over TCP allowed: the option only adds a key, so this way every key is reached.
    auto out = kest::config::parse_share_link(link, {});
    if (!out || !kest::text::is_valid_utf8(link))
        return 0;
    fuzz_require(out->is_object());
    fuzz_require(out->value("tag", "") == "proxy");
    fuzz_require(out->contains("server") && out->at("server").is_string());
    fuzz_require(out->contains("server_port") && out->at("server_port").is_number_integer());
    fuzz_require(kest::json::dump_compact(*out).has_value());
    return 0;
}
