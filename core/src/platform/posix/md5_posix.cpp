#include "platform/md5.h"

#include <openssl/evp.h>

namespace kest::platform {

std::optional<Md5Digest> md5_digest(std::string_view bytes) {
    Md5Digest digest{};
    unsigned int size = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_md5(), nullptr) ||
        size != digest.size())
        return std::nullopt;
    return digest;
}

} // namespace kest::platform
