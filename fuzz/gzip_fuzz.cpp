// The gzip decoder of response bodies on any bytes, fed in two pieces: it never grows the
// output past the limit and never reports success for a stream that did not end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "net/gzip_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    std::size_t limit = data[0] * 64;
    std::size_t split = data[1] % size;
    std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
    split = split > input.size() ? input.size() : split;

    kest::net::GzipDecoder decoder;
    std::string out;
    auto status = decoder.feed(input.substr(0, split), out, limit);
    if (status == kest::net::GzipStatus::Ok)
        status = decoder.feed(input.substr(split), out, limit);
    fuzz_require(out.size() <= limit);
    if (status == kest::net::GzipStatus::Ok && decoder.finish() == kest::net::GzipStatus::Ok)
        fuzz_require(!input.empty());
    return 0;
}
