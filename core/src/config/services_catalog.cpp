#include "config/services_catalog.h"

#include <optional>
#include <set>

#include "text/ascii.h"
#include "text/lowercase.h"
#include "text/white_space.h"
#include "config/services_catalog_data.h"
#include "json/json.h"

namespace kest::config {
namespace {

// nlohmann keeps the last of two equal keys; the catalogue treats a repeat as a fault instead,
// so a mistyped edit of the stored document cannot silently drop a field.
std::optional<Json> parse_without_repeated_keys(std::string_view document) {
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
    if (tree.is_discarded() || repeated)
        return std::nullopt;
    return tree;
}

bool read_texts(const Json& value, std::vector<std::string>& out) {
    if (!value.is_array())
        return false;
    out.clear();
    for (const Json& item : value) {
        if (!item.is_string())
            return false;
        out.push_back(item.get<std::string>());
    }
    return true;
}

constexpr std::string_view kFieldNames[] = {"key",     "title",    "aliases",
                                            "domains", "ip_cidrs", "rule_sets"};

bool read_field(Service& service, std::size_t index, const Json& value) {
    switch (index) {
    case 0:
    case 1:
        if (!value.is_string())
            return false;
        (index == 0 ? service.key : service.title) = value.get<std::string>();
        return true;
    case 2:
        return read_texts(value, service.aliases);
    case 3:
        return read_texts(value, service.domains);
    case 4:
        return read_texts(value, service.ip_cidrs);
    default:
        return read_texts(value, service.rule_sets);
    }
}

std::optional<Service> read_service(const Json& value) {
    Service service;
    if (value.is_array()) {
        if (value.empty() || value.size() > std::size(kFieldNames))
            return std::nullopt;
        for (std::size_t i = 0; i < value.size(); ++i)
            if (!read_field(service, i, value[i]))
                return std::nullopt;
        return service;
    }
    if (!value.is_object() || !value.contains("key"))
        return std::nullopt;
    for (std::size_t i = 0; i < std::size(kFieldNames); ++i) {
        auto it = value.find(std::string(kFieldNames[i]));
        if (it != value.end() && !read_field(service, i, *it))
            return std::nullopt;
    }
    return service;
}

std::optional<std::vector<Service>> read_catalog(std::string_view document) {
    auto tree = parse_without_repeated_keys(document);
    if (!tree || !tree->is_object())
        return std::nullopt;
    std::vector<Service> services;
    auto list = tree->find("services");
    if (list == tree->end())
        return services;
    if (!list->is_array())
        return std::nullopt;
    services.reserve(list->size());
    for (const Json& entry : *list) {
        auto service = read_service(entry);
        if (!service)
            return std::nullopt;
        services.push_back(std::move(*service));
    }
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
