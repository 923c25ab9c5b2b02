#include "config/services_catalog_data.h"

namespace kest::config {
namespace {

// services_catalog.json byte for byte, as the build wrote it out (see CMakeLists.txt).
constexpr char kDocument[] = {
#include "config/services_catalog_json.inc"
};

} // namespace

std::string_view stored_services_document() {
    return {kDocument, sizeof kDocument};
}

} // namespace kest::config
