#pragma once
// A strict, pull-style JSON reader over one text (RFC 8259). It is what every reader of
// outside JSON uses: it refuses trailing text, can skip a value without any depth limit,
// builds nlohmann trees with a depth limit, and describes every fault with line and column.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "json/json.h"
#include "util/expected.h"

namespace kest::json {

enum class Kind { Null, False, True, Number, String, Array, Object, End, Invalid };

class Cursor {
public:
    explicit Cursor(std::string_view text);

    // Kind of the next value after JSON white space (space, tab, CR, LF); End at end of text.
    Kind peek();

    // Each reader consumes one value; on a wrong type the error names what was expected,
    // e.g. "invalid type: string \"1\", expected u64 at line 1 column 9".
    Expected<std::uint64_t> read_u64();
    Expected<std::int64_t> read_i64();
    Expected<bool> read_bool();
    Expected<std::string> read_string();
    // Any value as a tree; containers deeper than max_depth levels (the value itself being
    // level 1 when it is a container) are refused. Duplicate object keys: the last one wins.
    Expected<Json> read_value(int max_depth);
    // Skips one value of any nesting depth without building it.
    Expected<void> skip_value();

    // Containers. begin_* consumes the opening bracket. next_* returns false once the closing
    // bracket has been consumed, true when another element (or key) follows.
    Expected<void> begin_object();
    // Reads the next key (and its colon) into key.
    Expected<bool> next_key(std::string& key);
    Expected<void> begin_array();
    Expected<bool> next_element();

    // Only JSON white space may remain.
    Expected<void> finish();

    // "<message> at line L column C" for the current position.
    std::string error_here(std::string_view message) const;

private:
    // implementation-defined members
    std::string_view text_;
    std::size_t pos_ = 0;
    // container bookkeeping for next_key/next_element: whether the first element was read
    bool first_ = true;
};

} // namespace kest::json
