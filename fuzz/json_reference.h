#pragma once
// nlohmann's own parser as a second reader beside the core's strict one. Both follow RFC 8259,
// so a record the core decodes must hold the same values in nlohmann's tree, and a well-typed
// record that nlohmann reads must not be refused by the core.
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "rpc/request.h"
#include "json/json.h"

struct ReferenceDocument {
    kest::Json value;
    // Keys that stand more than once in the outermost object: nlohmann keeps the last, the core
    // refuses a repeated field and skips a repeated unknown key.
    std::set<std::string> repeated_keys;
};

// None for text nlohmann refuses, and for text nlohmann reads differently from the standard: a
// leading byte order mark, which it skips, and a NUL byte, where it stops reading as if the text
// ended there (a NUL is never valid JSON text).
inline std::optional<ReferenceDocument> reference_parse(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF") || text.find('\0') != std::string_view::npos)
        return std::nullopt;
    ReferenceDocument document;
    std::set<std::string> keys;
    auto note_keys = [&](int depth, kest::Json::parse_event_t event, kest::Json& parsed) {
        if (event == kest::Json::parse_event_t::key && depth == 1) {
            const auto& key = parsed.get_ref<const std::string&>();
            if (!keys.insert(key).second)
                document.repeated_keys.insert(key);
        }
        return true;
    };
    try {
        document.value = kest::Json::parse(text.begin(), text.end(), note_keys);
    } catch (const kest::Json::exception&) {
        return std::nullopt;
    }
    return document;
}

struct ReferenceField {
    std::string_view name;
    bool (*accepts)(const kest::Json&);
};

// The values a record decoder must find in the document: per field the value given for it, or
// null where the field is absent and keeps its default. None when the document is not such a
// record: neither an object (each field at most once, of an accepted value, other keys free) nor
// an array of at most one accepted value per field, in field order.
inline std::optional<std::vector<const kest::Json*>>
reference_record(const ReferenceDocument& document, std::span<const ReferenceField> fields) {
    const kest::Json& value = document.value;
    std::vector<const kest::Json*> found(fields.size(), nullptr);
    if (value.is_object()) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            auto it = value.find(std::string(fields[i].name));
            if (it == value.end())
                continue;
            if (document.repeated_keys.contains(std::string(fields[i].name)) ||
                !fields[i].accepts(*it))
                return std::nullopt;
            found[i] = &*it;
        }
        return found;
    }
    if (value.is_array()) {
        if (value.size() > fields.size())
            return std::nullopt;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (!fields[i].accepts(value[i]))
                return std::nullopt;
            found[i] = &value[i];
        }
        return found;
    }
    return std::nullopt;
}

// What a record decoder must have found in text, checked against nlohmann's reading: the
// decoder (decoded tells whether it gave a record) reads one exactly when the text is a record
// to nlohmann. The record's values come back when both read one: per field its value, or null
// where it is absent. None when nlohmann refuses the text or neither finds a record.
inline std::optional<std::vector<kest::Json>>
reference_values(std::string_view text, std::span<const ReferenceField> fields, bool decoded) {
    auto document = reference_parse(text);
    if (!document)
        return std::nullopt;
    auto found = reference_record(*document, fields);
    fuzz_require(decoded == found.has_value());
    if (!found)
        return std::nullopt;
    std::vector<kest::Json> values;
    for (const kest::Json* value : *found)
        values.push_back(value ? *value : kest::Json());
    return values;
}

inline bool is_json_string(const kest::Json& v) {
    return v.is_string();
}

inline bool is_json_boolean(const kest::Json& v) {
    return v.is_boolean();
}

// An integer nlohmann holds in either of its integer types that fits a signed 64-bit number.
inline bool is_json_i64(const kest::Json& v) {
    if (v.is_number_unsigned())
        return v.get<std::uint64_t>() <= static_cast<std::uint64_t>(INT64_MAX);
    return v.is_number_integer();
}

// The text as the parameters of a request line, read by the request reader itself (so with the
// depth limit of "params"). None when the line does not parse: the text is no single JSON value.
inline std::optional<kest::Json> request_params(std::string_view text, std::string_view method) {
    std::string line = "[0,\"" + std::string(method) + "\",";
    line.append(text);
    line.push_back(']');
    auto request = kest::rpc::parse_request(line);
    if (!request)
        return std::nullopt;
    return std::move(request->params);
}
