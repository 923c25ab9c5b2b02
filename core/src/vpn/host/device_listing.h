#pragma once
// Reading the system's device listing ("pnputil /enum-devices") as blocks, one per device.
#include <string>
#include <string_view>
#include <vector>

namespace kest::vpn {

// The instance ids of the devices whose block names one of the given texts (ASCII case
// ignored; empty texts name nothing), in listing order, duplicates kept.
//
// A line holding "swd\" or, failing that, "root\" (letters in any case) starts a device's
// block: its instance id runs from there to the end of the line (invalid UTF-8 replaced,
// white space trimmed), and the lines up to the next such line belong to it. Lines before the
// first such line belong to no device.
std::vector<std::string> device_ids_naming(std::string_view listing,
                                           const std::vector<std::string_view>& names);

} // namespace kest::vpn
