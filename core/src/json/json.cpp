#include "json/json.h"

namespace kest::json {

Expected<std::string> dump_compact(const Json& value) {
    std::string out;
    out.reserve(128);
    if (!append_compact(out, value))
        return unexpected(std::string("invalid UTF-8 in a JSON string"));
    return out;
}

bool append_compact(std::string& out, const Json& value) {
    const std::size_t old_size = out.size();
    try {
        // The serializer writes straight into out, so a caller's buffer is reused as it is.
        nlohmann::detail::serializer<Json> serializer(nlohmann::detail::output_adapter<char>(out),
                                                      ' ', Json::error_handler_t::strict);
        serializer.dump(value, false, false, 0);
        return true;
    } catch (const Json::exception&) {
        out.resize(old_size);
        return false;
    }
}

} // namespace kest::json
