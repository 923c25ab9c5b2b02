#pragma once
// Typed decoding of a record that may come as an object (named fields, unknown keys skipped
// whatever their nesting, a repeated field refused) or as an array (fields by position,
// missing trailing ones keep their defaults, extra elements refused). The record's own
// defaults are whatever the caller put in its fields before decoding.
#include <functional>
#include <span>
#include <string_view>

#include "json/cursor.h"

namespace kest::json {

struct Field {
    std::string_view name;
    // Reads this field's value from the cursor into the record.
    std::function<Expected<void>(Cursor&)> read;
};

// Decodes one record value at the cursor. struct_name appears in type errors
// ("invalid type: string \"x\", expected struct StartReport at line 1 column 3"); a
// repeated field gives "duplicate field `ok` at line L column C".
Expected<void> decode_record(Cursor& cursor, std::string_view struct_name,
                             std::span<const Field> fields);

// decode_record over a whole text, then finish(): the usual way to read one document.
Expected<void> decode_record_text(std::string_view text, std::string_view struct_name,
                                  std::span<const Field> fields);

} // namespace kest::json
