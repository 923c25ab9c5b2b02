#pragma once
// Typed decoding of a record that may come as an object (named fields, unknown keys skipped
// whatever their nesting, a repeated field refused) or as an array (fields by position,
// missing trailing ones keep their defaults, extra elements refused). The record's own
// defaults are whatever the caller put in its fields before decoding.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "json/cursor.h"

namespace kest::json {

struct Field {
    std::string_view name;
    // Reads this field's value from the cursor into the record.
    std::function<Expected<void>(Cursor&)> read;
};

// Fields read straight into a member with the cursor's reader for its type.
Field field(std::string_view name, std::uint64_t& target);
Field field(std::string_view name, std::int64_t& target);
Field field(std::string_view name, bool& target);
Field field(std::string_view name, std::string& target);
Field field(std::string_view name, std::vector<std::string>& target);
// Any value, its containers nested at most max_depth levels deep (read_value).
Field field(std::string_view name, Json& target, int max_depth);

// Decodes one record value at the cursor. struct_name is how errors name the record, e.g.
// "struct StartReport" gives "invalid type: string \"x\", expected struct StartReport at line 1
// column 3" and "invalid length 4, expected struct StartReport with 3 elements at ..."; a
// repeated field gives "duplicate field `ok` at line L column C".
Expected<void> decode_record(Cursor& cursor, std::string_view struct_name,
                             std::span<const Field> fields);

// decode_record over a whole text, then finish(): the usual way to read one document.
Expected<void> decode_record_text(std::string_view text, std::string_view struct_name,
                                  std::span<const Field> fields);

// decode_record over a value that is already a tree (request parameters). Its errors carry no
// line and column: they would point into text that nobody sent.
Expected<void> decode_record_value(const Json& value, std::string_view struct_name,
                                   std::span<const Field> fields);

// An array whose elements are read one by one by element; any other value is refused with
// "invalid type: ..., expected a sequence".
Expected<void> read_array(Cursor& cursor, const std::function<Expected<void>(Cursor&)>& element);

// An array of strings.
Expected<std::vector<std::string>> read_string_list(Cursor& cursor);

} // namespace kest::json
