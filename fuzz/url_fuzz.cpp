// The share-link URL reader on any bytes. For UTF-8 input (all that real callers pass) the
// decoded fields must be UTF-8 too, and the port must be digits only.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/utf8.h"
#include "vpn/urlparse.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    bool utf8 = kest::text::is_valid_utf8(input);

    auto url = kest::vpn::parse_url(input);
    if (url && utf8) {
        require(kest::text::is_valid_utf8(url->host));
        require(kest::text::is_valid_utf8(url->user));
        require(!url->password || kest::text::is_valid_utf8(*url->password));
        for (char c : url->port)
            require(c >= '0' && c <= '9');
        for (const auto& [key, value] : url->query)
            require(kest::text::is_valid_utf8(key) && kest::text::is_valid_utf8(value));
    }
    if (!url)
        require(url.error().starts_with("некорректная ссылка: "));

    for (auto decoded : {kest::vpn::percent_decode(input), kest::vpn::decode_form_component(input)})
        require(!decoded || kest::text::is_valid_utf8(*decoded) ||
                (!utf8 && input.find('%') == std::string_view::npos));
    return 0;
}
