#include "vpn/host/device_listing.h"

#include <optional>

#include "text/ascii.h"
#include "text/utf8_lossy.h"
#include "text/white_space.h"

namespace kest::vpn {
namespace {

std::size_t find_ignoring_ascii_case(std::string_view haystack, std::string_view needle) {
    if (needle.size() > haystack.size())
        return std::string_view::npos;
    for (std::size_t at = 0; at + needle.size() <= haystack.size(); ++at)
        if (text::equals_ignoring_ascii_case(haystack.substr(at, needle.size()), needle))
            return at;
    return std::string_view::npos;
}

// Where the instance id of a block-starting line begins, or npos for any other line.
std::size_t instance_id_start(std::string_view line) {
    std::size_t at = find_ignoring_ascii_case(line, "swd\\");
    if (at == std::string_view::npos)
        at = find_ignoring_ascii_case(line, "root\\");
    return at;
}

class BlockJudge {
public:
    BlockJudge(const std::vector<std::string_view>& names, std::vector<std::string>& ids)
        : names_(names), ids_(ids) {}

    void start(std::string id, std::string_view line) {
        finish();
        id_ = std::move(id);
        text_.assign(line);
        text_.push_back('\n');
    }

    void append(std::string_view line) {
        text_.append(line);
        text_.push_back('\n');
    }

    void finish() {
        if (id_ && names_block())
            ids_.push_back(std::move(*id_));
        id_.reset();
        text_.clear();
    }

private:
    bool names_block() const {
        for (auto name : names_)
            if (!name.empty() && find_ignoring_ascii_case(text_, name) != std::string_view::npos)
                return true;
        return false;
    }

    const std::vector<std::string_view>& names_;
    std::vector<std::string>& ids_;
    std::optional<std::string> id_; // none for the lines before the first device
    std::string text_;
};

} // namespace

std::vector<std::string> device_ids_naming(std::string_view listing,
                                           const std::vector<std::string_view>& names) {
    std::vector<std::string> ids;
    BlockJudge block(names, ids);
    for (std::size_t begin = 0;;) {
        std::size_t end = listing.find('\n', begin);
        std::string_view line = listing.substr(
            begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
        if (std::size_t at = instance_id_start(line); at != std::string_view::npos) {
            std::string id = text::replace_invalid_utf8(line.substr(at));
            block.start(std::string(text::trim_white_space(id)), line);
        } else {
            block.append(line);
        }
        if (end == std::string_view::npos)
            break;
        begin = end + 1;
    }
    block.finish();
    return ids;
}

} // namespace kest::vpn
