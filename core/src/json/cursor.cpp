#include "json/cursor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "text/ascii.h"
#include "text/hex.h"
#include "text/utf8.h"

namespace kest::json {
namespace {

constexpr std::uint64_t kMaxU64 = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t kMaxI64 = std::numeric_limits<std::int64_t>::max();

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// A string as an error message shows it: quoted, with quotes, backslashes and control
// characters escaped.
std::string shown_string(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        unsigned char b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (b < 0x20 || b == 0x7F) {
            out += "\\u{";
            if (b >= 0x10)
                out += text::kHexDigitsLower[b >> 4];
            out += text::kHexDigitsLower[b & 0xF];
            out += '}';
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string in_backquotes(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out.push_back('`');
    out.append(s);
    out.push_back('`');
    return out;
}

} // namespace

Cursor::Cursor(std::string_view text) : text_(text) {}

std::string Cursor::error_at(std::string_view message, std::size_t index) const {
    std::size_t line = 1;
    std::size_t column = 0;
    for (std::size_t i = 0; i < index; ++i) {
        if (text_[i] == '\n') {
            ++line;
            column = 0;
        } else {
            ++column;
        }
    }
    return std::string(message) + " at line " + std::to_string(line) + " column " +
           std::to_string(column);
}

std::string Cursor::error_ahead(std::string_view message) const {
    return error_at(message, std::min(text_.size(), pos_ + 1));
}

std::string Cursor::error_here(std::string_view message) const {
    return error_at(message, pos_);
}

std::string Cursor::error_after_key(std::string_view message) const {
    return error_at(message, key_end_);
}

void Cursor::skip_white_space() {
    while (!at_end()) {
        char c = current();
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return;
        ++pos_;
    }
}

Kind Cursor::peek() {
    skip_white_space();
    if (at_end())
        return Kind::End;
    switch (current()) {
    case 'n':
        return Kind::Null;
    case 'f':
        return Kind::False;
    case 't':
        return Kind::True;
    case '"':
        return Kind::String;
    case '[':
        return Kind::Array;
    case '{':
        return Kind::Object;
    default:
        return current() == '-' || is_digit(current()) ? Kind::Number : Kind::Invalid;
    }
}

// ---------------------------------------------------------------------------------------------
// Scalars

Expected<void> Cursor::scan_literal(std::string_view word) {
    for (char expected : word) {
        if (at_end())
            return unexpected(error_ahead("EOF while parsing a value"));
        if (current() != expected)
            return unexpected(error_ahead("expected ident"));
        ++pos_;
    }
    return {};
}

Expected<void> Cursor::scan_hex_escape(char32_t& unit) {
    unit = 0;
    for (int i = 0; i < 4; ++i) {
        if (at_end())
            return unexpected(error_ahead("EOF while parsing a string"));
        int digit = text::hex_digit_value(current());
        if (digit < 0)
            return unexpected(error_ahead("invalid escape"));
        unit = unit * 16 + static_cast<char32_t>(digit);
        ++pos_;
    }
    return {};
}

Expected<void> Cursor::scan_string(std::string* out) {
    ++pos_; // opening quote
    while (true) {
        // Plain bytes are copied in runs.
        std::size_t run = pos_;
        while (run < text_.size()) {
            unsigned char b = static_cast<unsigned char>(text_[run]);
            if (b == '"' || b == '\\' || b < 0x20 || b >= 0x80)
                break;
            ++run;
        }
        if (out)
            out->append(text_.substr(pos_, run - pos_));
        pos_ = run;
        if (at_end())
            return unexpected(error_ahead("EOF while parsing a string"));

        unsigned char b = static_cast<unsigned char>(current());
        if (b == '"') {
            ++pos_;
            return {};
        }
        if (b < 0x20)
            return unexpected(
                error_ahead("control character (\\u0000-\\u001F) found while parsing a string"));
        if (b >= 0x80) {
            // The text is meant to be UTF-8 already; bytes that are not are refused, never
            // passed on into a value that could not be written out again.
            std::size_t next = pos_;
            char32_t cp = text::decode_utf8(text_, next);
            if (cp == 0xFFFD && next == pos_ + 1)
                return unexpected(error_ahead("invalid unicode code point"));
            if (out)
                out->append(text_.substr(pos_, next - pos_));
            pos_ = next;
            continue;
        }

        ++pos_; // backslash
        if (at_end())
            return unexpected(error_ahead("EOF while parsing a string"));
        char escape = current();
        ++pos_;
        char plain = 0;
        switch (escape) {
        case '"':
        case '\\':
        case '/':
            plain = escape;
            break;
        case 'b':
            plain = '\b';
            break;
        case 'f':
            plain = '\f';
            break;
        case 'n':
            plain = '\n';
            break;
        case 'r':
            plain = '\r';
            break;
        case 't':
            plain = '\t';
            break;
        case 'u':
            break;
        default:
            --pos_;
            return unexpected(error_ahead("invalid escape"));
        }
        if (escape != 'u') {
            if (out)
                out->push_back(plain);
            continue;
        }

        char32_t unit;
        if (auto r = scan_hex_escape(unit); !r)
            return r;
        char32_t cp = unit;
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return unexpected(error_here("lone trailing surrogate in hex escape"));
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (at_end() || current() != '\\' || pos_ + 1 >= text_.size() || text_[pos_ + 1] != 'u')
                return unexpected(error_here("lone leading surrogate in hex escape"));
            pos_ += 2;
            char32_t low;
            if (auto r = scan_hex_escape(low); !r)
                return r;
            if (low < 0xDC00 || low > 0xDFFF)
                return unexpected(error_here("lone leading surrogate in hex escape"));
            cp = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
        if (out)
            text::append_utf8(*out, cp);
    }
}

Expected<void> Cursor::scan_digits() {
    if (at_end())
        return unexpected(error_ahead("EOF while parsing a value"));
    if (!is_digit(current()))
        return unexpected(error_ahead("invalid number"));
    while (!at_end() && is_digit(current()))
        ++pos_;
    return {};
}

Expected<void> Cursor::scan_number(Number& number) {
    const std::size_t start = pos_;
    number = Number{};
    if (current() == '-') {
        number.negative = true;
        ++pos_;
    }
    if (at_end())
        return unexpected(error_ahead("EOF while parsing a value"));
    if (current() == '0') {
        ++pos_;
        if (!at_end() && is_digit(current()))
            return unexpected(error_ahead("invalid number"));
    } else if (auto r = scan_digits(); !r) {
        return r;
    }
    const std::size_t integer_end = pos_;
    if (!at_end() && current() == '.') {
        ++pos_;
        if (auto r = scan_digits(); !r)
            return r;
    }
    if (!at_end() && (current() == 'e' || current() == 'E')) {
        ++pos_;
        if (!at_end() && (current() == '+' || current() == '-'))
            ++pos_;
        if (auto r = scan_digits(); !r)
            return r;
    }
    number.text = text_.substr(start, pos_ - start);
    number.integer = integer_end == pos_;
    if (number.integer) {
        number.fits = true;
        for (std::size_t i = start + (number.negative ? 1 : 0); i < integer_end; ++i) {
            auto digit = static_cast<std::uint64_t>(text_[i] - '0');
            if (number.magnitude > (kMaxU64 - digit) / 10) {
                number.fits = false;
                break;
            }
            number.magnitude = number.magnitude * 10 + digit;
        }
        if (number.negative && number.magnitude > kMaxI64 + 1)
            number.fits = false;
    }
    return {};
}

Expected<double> Cursor::to_double(const Number& number) const {
    double value = 0;
    const char* first = number.text.data();
    const char* last = first + number.text.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range) {
        // from_chars refuses underflow as well; only overflow is out of range here.
        std::string copy(number.text);
        value = std::strtod(copy.c_str(), nullptr);
        if (std::isinf(value))
            return unexpected(error_here("number out of range"));
    } else if (ec != std::errc() || end != last) {
        return unexpected(error_here("invalid number"));
    }
    return value;
}

Expected<void> Cursor::scan_scalar(Json* out) {
    skip_white_space();
    if (at_end())
        return unexpected(error_ahead("EOF while parsing a value"));
    char c = current();
    if (c == '"') {
        if (!out)
            return scan_string(nullptr);
        std::string s;
        if (auto r = scan_string(&s); !r)
            return r;
        *out = std::move(s);
        return {};
    }
    if (c == 'n' || c == 't' || c == 'f') {
        std::string_view word = c == 'n' ? "null" : c == 't' ? "true" : "false";
        if (auto r = scan_literal(word); !r)
            return r;
        if (out)
            *out = c == 'n' ? Json(nullptr) : Json(c == 't');
        return {};
    }
    if (c != '-' && !is_digit(c))
        return unexpected(error_ahead("expected value"));
    Number number;
    if (auto r = scan_number(number); !r)
        return r;
    if (!out)
        return {};
    if (number.integer && number.fits) {
        if (number.negative)
            *out = static_cast<std::int64_t>(0 - number.magnitude);
        else if (number.magnitude <= kMaxI64)
            *out = static_cast<std::int64_t>(number.magnitude);
        else
            *out = number.magnitude;
        return {};
    }
    auto real = to_double(number);
    if (!real)
        return unexpected(real.error());
    *out = *real;
    return {};
}

std::string Cursor::invalid_type(std::string_view expected) {
    skip_white_space();
    if (at_end())
        return error_ahead("EOF while parsing a value");
    std::string found;
    char c = current();
    if (c == '[' || c == '{') {
        found = c == '[' ? "sequence" : "map";
    } else if (c == '"') {
        std::string s;
        if (auto r = scan_string(&s); !r)
            return r.error();
        found = "string " + shown_string(s);
    } else if (c == 'n' || c == 't' || c == 'f') {
        std::string_view word = c == 'n' ? "null" : c == 't' ? "true" : "false";
        if (auto r = scan_literal(word); !r)
            return r.error();
        found = c == 'n' ? "null" : "boolean " + in_backquotes(word);
    } else if (c == '-' || is_digit(c)) {
        Number number;
        if (auto r = scan_number(number); !r)
            return r.error();
        if (number.integer && number.fits) {
            found = "integer " + in_backquotes(number.text);
        } else if (auto real = to_double(number); !real) {
            return real.error();
        } else {
            found = "floating point " + in_backquotes(number.text);
        }
    } else {
        return error_ahead("expected value");
    }
    return error_here("invalid type: " + found + ", expected " + std::string(expected));
}

Expected<void> Cursor::scan_integer(Number& number, std::string_view type) {
    if (peek() != Kind::Number)
        return unexpected(invalid_type(type));
    if (auto r = scan_number(number); !r)
        return r;
    if (!number.integer) {
        if (auto real = to_double(number); !real)
            return unexpected(real.error());
        return unexpected(error_here("invalid type: floating point " + in_backquotes(number.text) +
                                     ", expected " + std::string(type)));
    }
    if (!number.fits)
        return unexpected(error_here("number out of range"));
    return {};
}

std::string Cursor::invalid_integer(const Number& number, std::string_view type) const {
    return error_here("invalid value: integer " + in_backquotes(number.text) + ", expected " +
                      std::string(type));
}

Expected<std::uint64_t> Cursor::read_u64() {
    Number number;
    if (auto r = scan_integer(number, "u64"); !r)
        return unexpected(r.error());
    if (number.negative && number.magnitude != 0)
        return unexpected(invalid_integer(number, "u64"));
    return number.magnitude;
}

Expected<std::int64_t> Cursor::read_i64() {
    Number number;
    if (auto r = scan_integer(number, "i64"); !r)
        return unexpected(r.error());
    if (number.negative)
        return static_cast<std::int64_t>(0 - number.magnitude);
    if (number.magnitude > kMaxI64)
        return unexpected(invalid_integer(number, "i64"));
    return static_cast<std::int64_t>(number.magnitude);
}

Expected<bool> Cursor::read_bool() {
    Kind kind = peek();
    if (kind != Kind::True && kind != Kind::False)
        return unexpected(invalid_type("a boolean"));
    if (auto r = scan_literal(kind == Kind::True ? "true" : "false"); !r)
        return unexpected(r.error());
    return kind == Kind::True;
}

Expected<std::string> Cursor::read_string() {
    if (peek() != Kind::String)
        return unexpected(invalid_type("a string"));
    std::string s;
    if (auto r = scan_string(&s); !r)
        return unexpected(r.error());
    return s;
}

// ---------------------------------------------------------------------------------------------
// Containers

Expected<bool> Cursor::container_continues(bool& first, bool object) {
    skip_white_space();
    if (at_end())
        return unexpected(
            error_ahead(object ? "EOF while parsing an object" : "EOF while parsing a list"));
    const char close = object ? '}' : ']';
    if (current() == close) {
        ++pos_;
        return false;
    }
    if (!first) {
        if (current() != ',')
            return unexpected(error_ahead(object ? "expected `,` or `}`" : "expected `,` or `]`"));
        ++pos_;
        skip_white_space();
        if (at_end())
            return unexpected(error_ahead("EOF while parsing a value"));
        if (current() == close)
            return unexpected(error_ahead("trailing comma"));
    }
    first = false;
    if (object && current() != '"')
        return unexpected(error_ahead("key must be a string"));
    return true;
}

Expected<void> Cursor::scan_key(std::string* key) {
    if (auto r = scan_string(key); !r)
        return r;
    key_end_ = pos_;
    skip_white_space();
    if (at_end())
        return unexpected(error_ahead("EOF while parsing an object"));
    if (current() != ':')
        return unexpected(error_ahead("expected `:`"));
    ++pos_;
    return {};
}

Expected<void> Cursor::begin_object() {
    if (peek() != Kind::Object)
        return unexpected(invalid_type("a map"));
    ++pos_;
    first_.push_back(true);
    return {};
}

Expected<bool> Cursor::next_key(std::string& key) {
    if (first_.empty())
        throw std::logic_error("next_key outside an object");
    bool first = first_.back();
    auto more = container_continues(first, true);
    first_.back() = first;
    if (!more)
        return more;
    if (!*more) {
        first_.pop_back();
        return false;
    }
    key.clear();
    if (auto r = scan_key(&key); !r)
        return unexpected(r.error());
    return true;
}

Expected<void> Cursor::begin_array() {
    if (peek() != Kind::Array)
        return unexpected(invalid_type("a sequence"));
    ++pos_;
    first_.push_back(true);
    return {};
}

Expected<bool> Cursor::next_element() {
    if (first_.empty())
        throw std::logic_error("next_element outside an array");
    bool first = first_.back();
    auto more = container_continues(first, false);
    first_.back() = first;
    if (more && !*more)
        first_.pop_back();
    return more;
}

// Iterative, so that no nesting depth can exhaust the stack: only one bit per open container
// is kept.
Expected<void> Cursor::skip_value() {
    std::vector<bool> open_objects;
    bool first = false;
    while (true) {
        skip_white_space();
        if (!at_end() && (current() == '{' || current() == '[')) {
            open_objects.push_back(current() == '{');
            ++pos_;
            first = true;
        } else if (auto r = scan_scalar(nullptr); !r) {
            return r;
        }
        // Find where the next value starts, closing every container that ends on the way.
        while (true) {
            if (open_objects.empty())
                return {};
            bool object = open_objects.back();
            auto more = container_continues(first, object);
            if (!more)
                return unexpected(more.error());
            if (*more) {
                if (object) {
                    if (auto r = scan_key(nullptr); !r)
                        return r;
                }
                break;
            }
            open_objects.pop_back();
            first = false;
        }
    }
}

Expected<Json> Cursor::read_tree(int levels_left) {
    skip_white_space();
    if (at_end() || (current() != '{' && current() != '[')) {
        Json scalar;
        if (auto r = scan_scalar(&scalar); !r)
            return unexpected(r.error());
        return scalar;
    }
    if (levels_left <= 0)
        return unexpected(error_ahead("recursion limit exceeded"));
    const bool object = current() == '{';
    ++pos_;
    Json tree = object ? Json::object() : Json::array();
    std::string key;
    bool first = true;
    while (true) {
        auto more = container_continues(first, object);
        if (!more)
            return unexpected(more.error());
        if (!*more)
            return tree;
        if (object) {
            key.clear();
            if (auto r = scan_key(&key); !r)
                return unexpected(r.error());
        }
        auto element = read_tree(levels_left - 1);
        if (!element)
            return element;
        if (object)
            tree[key] = std::move(*element);
        else
            tree.push_back(std::move(*element));
    }
}

Expected<Json> Cursor::read_value(int max_depth) {
    return read_tree(max_depth);
}

Expected<void> Cursor::finish() {
    skip_white_space();
    if (!at_end())
        return unexpected(error_ahead("trailing characters"));
    return {};
}

std::string_view without_position(std::string_view error) {
    constexpr std::string_view kLine = " at line ";
    std::size_t at = error.rfind(kLine);
    if (at == std::string_view::npos)
        return error;
    std::string_view rest = error.substr(at + kLine.size());
    std::size_t column = rest.find(" column ");
    if (column == std::string_view::npos)
        return error;
    auto all_digits = [](std::string_view s) {
        return !s.empty() && std::all_of(s.begin(), s.end(), is_digit);
    };
    if (!all_digits(rest.substr(0, column)) || !all_digits(rest.substr(column + 8)))
        return error;
    return error.substr(0, at);
}

} // namespace kest::json
