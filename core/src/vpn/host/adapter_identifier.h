#pragma once
// The identifier under which the TUN driver registers an adapter: a GUID made from the MD5
// digest of "wintun" followed by the adapter's name.
#include <optional>
#include <string>
#include <string_view>

#include "platform/md5.h"

namespace kest::vpn {

// The digest in the Windows GUID form "{D1-D2-D3-D4-D5}": D1 bytes 0-3 as a little-endian
// 32-bit number, D2 and D3 bytes 4-5 and 6-7 as little-endian 16-bit numbers, D4 and D5 the
// bytes 8-9 and 10-15 in order; uppercase digits, leading zeros kept.
std::string guid_text(const platform::Md5Digest& digest);

// None when the digest cannot be computed.
std::optional<std::string> adapter_identifier(std::string_view adapter_name);

} // namespace kest::vpn
