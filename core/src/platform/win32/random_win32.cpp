#include "platform/random.h"

#include <algorithm>

#include "platform/win32/windows_api.h"

#include <bcrypt.h>

namespace kest::platform {

Expected<void> fill_random(std::span<std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        NTSTATUS status =
            BCryptGenRandom(nullptr, bytes.data() + done, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        if (status < 0)
            return unexpected("BCryptGenRandom: NTSTATUS " + std::to_string(status));
        done += chunk;
    }
    return {};
}

} // namespace kest::platform
