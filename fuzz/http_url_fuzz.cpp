// The HTTP client's URL reader and redirect resolution on any bytes, as a server's Location
// header may hold them. Whatever it accepts must be a URL it reads back unchanged, with a
// request target free of bytes that may not go on the wire.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "net/url.h"

namespace {

void check(const kest::net::Url& url) {
    fuzz_require(url.scheme == "http" || url.scheme == "https");
    fuzz_require(!url.host.empty() && url.port != 0);
    fuzz_require(url.path.starts_with("/"));
    for (unsigned char c : url.target())
        fuzz_require(c > 0x20 && c < 0x7F);
    auto again = kest::net::parse_url(url.text());
    fuzz_require(again && again->text() == url.text());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    if (auto url = kest::net::parse_url(input))
        check(*url);
    static const auto base = *kest::net::parse_url("https://dns.example:8443/a/b/c?q=1");
    if (auto resolved = kest::net::resolve_url(base, input))
        check(*resolved);
    return 0;
}
