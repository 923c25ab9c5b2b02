#pragma once
// A strict, pull-style JSON reader over one text (RFC 8259). It is what every reader of
// outside JSON uses: it refuses trailing text, can skip a value without any depth limit,
// builds nlohmann trees with a depth limit, and describes every fault with line and column.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "json/json.h"

namespace kest::json {

enum class Kind { Null, False, True, Number, String, Array, Object, End, Invalid };

class Cursor {
public:
    // The cursor views the text, which must outlive it; a temporary string is refused.
    explicit Cursor(std::string_view text);
    explicit Cursor(const char* text) : Cursor(std::string_view(text)) {}
    explicit Cursor(std::string&&) = delete;

    // Kind of the next value after JSON white space (space, tab, CR, LF); End at end of text.
    Kind peek();

    // Each reader consumes one value; on a wrong type the error names what was expected,
    // e.g. "invalid type: string \"1\", expected u64 at line 1 column 9". Integers outside
    // the type's range and numbers with a fraction or an exponent are refused.
    Expected<std::uint64_t> read_u64();
    Expected<std::int64_t> read_i64();
    Expected<bool> read_bool();
    Expected<std::string> read_string();
    // Any value as a tree; containers deeper than max_depth levels (the value itself being
    // level 1 when it is a container) are refused. Duplicate object keys: the last one wins.
    // Integers within the signed 64-bit range become signed numbers, larger ones up to the
    // unsigned 64-bit maximum unsigned numbers, everything else floating point.
    Expected<Json> read_value(int max_depth);
    // Skips one value of any nesting depth without building it.
    Expected<void> skip_value();

    // Containers. begin_* consumes the opening bracket. next_* returns false once the closing
    // bracket has been consumed, true when another element (or key) follows. Containers opened
    // this way may nest; each next_* call belongs to the innermost one still open.
    Expected<void> begin_object();
    // Reads the next key (and its colon) into key.
    Expected<bool> next_key(std::string& key);
    Expected<void> begin_array();
    Expected<bool> next_element();

    // Only JSON white space may remain.
    Expected<void> finish();

    // "<message> at line L column C" for the current position (just after the last byte read).
    std::string error_here(std::string_view message) const;
    // The same for the position just after the key that next_key read last.
    std::string error_after_key(std::string_view message) const;
    // Consumes the next value when it is a scalar and gives the error for finding it where
    // `expected` was wanted: "invalid type: integer `5`, expected struct X at line 1 column 1".
    // A value that is malformed itself gives that syntax error instead.
    std::string invalid_type(std::string_view expected);

private:
    struct Number {
        std::string_view text;
        bool integer = false; // neither fraction nor exponent
        bool negative = false;
        bool fits = false; // an integer within the unsigned (or, negative, signed) 64-bit range
        std::uint64_t magnitude = 0;
    };

    std::string error_at(std::string_view message, std::size_t index) const;
    // The error for the byte about to be read (or the last byte, at the end of the text).
    std::string error_ahead(std::string_view message) const;

    void skip_white_space();
    bool at_end() const { return pos_ >= text_.size(); }
    char current() const { return text_[pos_]; }

    Expected<void> scan_literal(std::string_view word);
    Expected<void> scan_string(std::string* out);
    Expected<void> scan_hex_escape(char32_t& unit);
    Expected<void> scan_number(Number& number);
    Expected<void> scan_digits();
    Expected<double> to_double(const Number& number) const;
    // A number that is an integer within 64 bits; type names the reader in errors.
    Expected<void> scan_integer(Number& number, std::string_view type);
    std::string invalid_integer(const Number& number, std::string_view type) const;
    // One scalar value; into out unless out is null.
    Expected<void> scan_scalar(Json* out);
    Expected<Json> read_tree(int levels_left);

    // After an opening bracket (first) or an element: true when another element or key
    // follows, false once the closing bracket has been consumed.
    Expected<bool> container_continues(bool& first, bool object);
    // The key string and its colon; into key unless key is null.
    Expected<void> scan_key(std::string* key);

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t key_end_ = 0;
    // One entry per container opened with begin_*: whether no element has been read yet.
    std::vector<bool> first_;
};

// The message of a cursor error without its " at line L column C" ending.
std::string_view without_position(std::string_view error);

} // namespace kest::json
