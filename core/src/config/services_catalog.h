#pragma once
// The built-in catalogue of well-known services that a user can route by name ("telegram",
// "ютуб", "gpt") instead of listing their domains.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kest::config {

struct Service {
    std::string key; // canonical lowercase name
    std::string title;
    std::vector<std::string> aliases;
    std::vector<std::string> domains;
    std::vector<std::string> ip_cidrs;
    std::vector<std::string> rule_sets; // rule set N is the file "geosite-N.srs"
};

// Reads a catalogue document: {"services": [...]} whose entries are objects or arrays of the six
// fields in order. A document with a fault anywhere (a repeated key, a service without "key", a
// field of the wrong type) gives the empty catalogue, so a bad edit disables lookups as a whole
// rather than routing half a service.
std::vector<Service> parse_services_catalog(std::string_view document);

// The built-in catalogue, parsed on first use and shared until the process ends; empty when the
// stored document does not parse.
const std::vector<Service>& services_catalog();

// The service a user's name denotes: trimmed, lowercased, then compared with every key and alias
// in catalogue order. A name with a "." is a domain and never reaches the catalogue.
const Service* find_service(std::string_view name);

// The same lookup; catalog is called only once the name could name a service.
const Service* find_service_in(std::string_view name,
                               const std::function<const std::vector<Service>&()>& catalog);

} // namespace kest::config
