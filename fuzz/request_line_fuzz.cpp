// Standard input lines as the request loop sees them: split at "\n", stop at the first line
// that is not UTF-8, clean, parse, and write the parameters back out as a response would.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "rpc/request.h"
#include "text/utf8.h"
#include "json/json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    while (!input.empty()) {
        std::size_t newline = input.find('\n');
        std::size_t length = newline == std::string_view::npos ? input.size() : newline + 1;
        std::string_view line = input.substr(0, length);
        input.remove_prefix(length);
        if (!kest::text::is_valid_utf8(line))
            break;
        std::string_view text = kest::rpc::clean_request_line(line);
        if (text.empty())
            continue;
        auto request = kest::rpc::parse_request(text);
        if (request)
            (void)kest::json::dump_compact(request->params);
    }
    return 0;
}
