// The share-link URL reader on any bytes. For UTF-8 input (all that real callers pass) the
// decoded fields must be UTF-8 too, and the port must be digits only.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config/share_url.h"
#include "fuzz_check.h"
#include "text/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    bool utf8 = kest::text::is_valid_utf8(input);

    auto url = kest::config::parse_share_url(input);
    if (url && utf8) {
        fuzz_require(kest::text::is_valid_utf8(url->host));
        fuzz_require(kest::text::is_valid_utf8(url->user));
        fuzz_require(!url->password || kest::text::is_valid_utf8(*url->password));
        for (char c : url->port)
            fuzz_require(c >= '0' && c <= '9');
        for (const auto& [key, value] : url->query)
            fuzz_require(kest::text::is_valid_utf8(key) && kest::text::is_valid_utf8(value));
    }
    if (!url)
        fuzz_require(url.error().starts_with("некорректная ссылка: "));

    for (auto decoded :
         {kest::config::percent_decode(input), kest::config::decode_form_component(input)})
        fuzz_require(!decoded || kest::text::is_valid_utf8(*decoded) ||
                     (!utf8 && input.find('%') == std::string_view::npos));
    return 0;
}
