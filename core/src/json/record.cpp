#include "json/record.h"

namespace kest::json {
namespace {

template <class T, class Read> Field reading_into(std::string_view name, T& target, Read read) {
    return {name, [&target, read](Cursor& cursor) -> Expected<void> {
                auto value = read(cursor);
                if (!value)
                    return unexpected(value.error());
                target = std::move(*value);
                return {};
            }};
}

Expected<void> decode_object(Cursor& cursor, std::span<const Field> fields) {
    if (auto r = cursor.begin_object(); !r)
        return r;
    std::vector<bool> seen(fields.size(), false);
    std::string key;
    while (true) {
        auto more = cursor.next_key(key);
        if (!more)
            return unexpected(more.error());
        if (!*more)
            return {};
        std::size_t i = 0;
        while (i < fields.size() && fields[i].name != key)
            ++i;
        if (i == fields.size()) {
            if (auto r = cursor.skip_value(); !r)
                return r;
            continue;
        }
        if (seen[i])
            return unexpected(cursor.error_after_key("duplicate field `" + key + "`"));
        seen[i] = true;
        if (auto r = fields[i].read(cursor); !r)
            return r;
    }
}

Expected<void> decode_array(Cursor& cursor, std::string_view struct_name,
                            std::span<const Field> fields) {
    if (auto r = cursor.begin_array(); !r)
        return r;
    for (const Field& field : fields) {
        auto more = cursor.next_element();
        if (!more)
            return unexpected(more.error());
        if (!*more)
            return {};
        if (auto r = field.read(cursor); !r)
            return r;
    }
    // Count the surplus so that the error tells the real length.
    std::size_t length = fields.size();
    while (true) {
        auto more = cursor.next_element();
        if (!more)
            return unexpected(more.error());
        if (!*more)
            break;
        if (auto r = cursor.skip_value(); !r)
            return r;
        ++length;
    }
    if (length == fields.size())
        return {};
    return unexpected(cursor.error_here("invalid length " + std::to_string(length) + ", expected " +
                                        std::string(struct_name) + " with " +
                                        std::to_string(fields.size()) +
                                        (fields.size() == 1 ? " element" : " elements")));
}

} // namespace

Field field(std::string_view name, std::uint64_t& target) {
    return reading_into(name, target, [](Cursor& c) { return c.read_u64(); });
}

Field field(std::string_view name, std::int64_t& target) {
    return reading_into(name, target, [](Cursor& c) { return c.read_i64(); });
}

Field field(std::string_view name, bool& target) {
    return reading_into(name, target, [](Cursor& c) { return c.read_bool(); });
}

Field field(std::string_view name, std::string& target) {
    return reading_into(name, target, [](Cursor& c) { return c.read_string(); });
}

Field field(std::string_view name, std::vector<std::string>& target) {
    return reading_into(name, target, [](Cursor& c) { return read_string_list(c); });
}

Field field(std::string_view name, Json& target, int max_depth) {
    return reading_into(name, target, [max_depth](Cursor& c) { return c.read_value(max_depth); });
}

Expected<void> decode_record(Cursor& cursor, std::string_view struct_name,
                             std::span<const Field> fields) {
    switch (cursor.peek()) {
    case Kind::Object:
        return decode_object(cursor, fields);
    case Kind::Array:
        return decode_array(cursor, struct_name, fields);
    default:
        return unexpected(cursor.invalid_type(struct_name));
    }
}

Expected<void> decode_record_text(std::string_view text, std::string_view struct_name,
                                  std::span<const Field> fields) {
    Cursor cursor(text);
    if (auto r = decode_record(cursor, struct_name, fields); !r)
        return r;
    return cursor.finish();
}

Expected<void> decode_record_value(const Json& value, std::string_view struct_name,
                                   std::span<const Field> fields) {
    auto text = dump_compact(value);
    if (!text)
        return unexpected(text.error());
    auto r = decode_record_text(*text, struct_name, fields);
    if (!r)
        return unexpected(std::string(without_position(r.error())));
    return r;
}

Expected<void> read_array(Cursor& cursor, const std::function<Expected<void>(Cursor&)>& element) {
    if (auto r = cursor.begin_array(); !r)
        return r;
    while (true) {
        auto more = cursor.next_element();
        if (!more)
            return unexpected(more.error());
        if (!*more)
            return {};
        if (auto r = element(cursor); !r)
            return r;
    }
}

Expected<std::vector<std::string>> read_string_list(Cursor& cursor) {
    std::vector<std::string> list;
    auto r = read_array(cursor, [&](Cursor& c) -> Expected<void> {
        auto s = c.read_string();
        if (!s)
            return unexpected(s.error());
        list.push_back(std::move(*s));
        return {};
    });
    if (!r)
        return unexpected(r.error());
    return list;
}

} // namespace kest::json
