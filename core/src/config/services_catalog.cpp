#include "config/services_catalog.h"

#include <optional>
#include <set>

#include "config/services_catalog_data.h"
#include "text/ascii.h"
#include "text/lowercase.h"
#include "text/white_space.h"
#include "json/json.h"
#include "json/record.h"

namespace kest::config {
namespace {

// The record reader refuses a repeated field but skips unknown keys unread; the catalogue
// treats a repeat anywhere, inside unknown keys too, as a fault, so a mistyped edit of the
// stored document cannot silently drop a field.
bool without_repeated_keys(std::string_view document) {
    std::vector<std::set<std::string>> open_objects;
    bool repeated = false;
    auto watch = [&](int, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::object_start)
            open_objects.emplace_back();
        else if (event == Json::parse_event_t::object_end)
            open_objects.pop_back();
        else if (event == Json::parse_event_t::key)
            repeated = repeated || !open_objects.back().insert(parsed.get<std::string>()).second;
        return true;
    };
    Json tree = Json::parse(document.begin(), document.end(), watch, /*allow_exceptions=*/false);
    return !tree.is_discarded() && !repeated;
}

// One service, as an object or as the six fields in order. Only "key" must be there.
Expected<Service> read_service(json::Cursor& cursor) {
    Service service;
    bool has_key = false;
    const json::Field fields[] = {
        {"key",
         [&](json::Cursor& c) -> Expected<void> {
             auto key = c.read_string();
             if (!key)
                 return unexpected(key.error());
             service.key = std::move(*key);
             has_key = true;
             return {};
         }},
        json::field("title", service.title),
        json::field("aliases", service.aliases),
        json::field("domains", service.domains),
        json::field("ip_cidrs", service.ip_cidrs),
        json::field("rule_sets", service.rule_sets),
    };
    if (auto r = json::decode_record(cursor, "struct Service", fields); !r)
        return unexpected(r.error());
    if (!has_key)
        return unexpected(cursor.error_here("missing field `key`"));
    return service;
}

std::optional<std::vector<Service>> read_catalog(std::string_view document) {
    if (!without_repeated_keys(document))
        return std::nullopt;
    json::Cursor cursor(document);
    if (cursor.peek() != json::Kind::Object) // the list form has no place at the top
        return std::nullopt;
    std::vector<Service> services;
    const json::Field fields[] = {{"services", [&](json::Cursor& c) {
                                       return json::read_array(c, [&](json::Cursor& e) {
                                           auto service = read_service(e);
                                           if (!service)
                                               return Expected<void>(unexpected(service.error()));
                                           services.push_back(std::move(*service));
                                           return Expected<void>();
                                       });
                                   }}};
    if (!json::decode_record(cursor, "struct ServiceCatalog", fields) || !cursor.finish())
        return std::nullopt;
    return services;
}

} // namespace

std::vector<Service> parse_services_catalog(std::string_view document) {
    return read_catalog(document).value_or(std::vector<Service>{});
}

const std::vector<Service>& services_catalog() {
    static const std::vector<Service> catalog = parse_services_catalog(stored_services_document());
    return catalog;
}

const Service* find_service(std::string_view name) {
    return find_service_in(name, services_catalog);
}

const Service* find_service_in(std::string_view name,
                               const std::function<const std::vector<Service>&()>& catalog) {
    std::string wanted = text::to_lower(text::trim_white_space(name));
    if (wanted.empty() || wanted.find('.') != std::string::npos)
        return nullptr;
    for (const Service& service : catalog()) {
        if (text::equals_ignoring_ascii_case(service.key, wanted))
            return &service;
        for (const std::string& alias : service.aliases)
            if (text::equals_ignoring_ascii_case(alias, wanted))
                return &service;
    }
    return nullptr;
}

} // namespace kest::config
