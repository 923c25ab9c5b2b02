#include "platform/md5.h"

#include "platform/unique_handle.h"
#include "platform/win32/windows_api.h"
// After windows.h, which it needs.
#include <bcrypt.h>

namespace kest::platform {
namespace {

struct AlgorithmTraits {
    using type = BCRYPT_ALG_HANDLE;
    static BCRYPT_ALG_HANDLE invalid() noexcept { return nullptr; }
    static void close(BCRYPT_ALG_HANDLE h) noexcept { BCryptCloseAlgorithmProvider(h, 0); }
};

struct HashTraits {
    using type = BCRYPT_HASH_HANDLE;
    static BCRYPT_HASH_HANDLE invalid() noexcept { return nullptr; }
    static void close(BCRYPT_HASH_HANDLE h) noexcept { BCryptDestroyHash(h); }
};

bool succeeded(NTSTATUS status) {
    return status >= 0;
}

} // namespace

std::optional<Md5Digest> md5_digest(std::string_view bytes) {
    BCRYPT_ALG_HANDLE algorithm_handle = nullptr;
    if (!succeeded(
            BCryptOpenAlgorithmProvider(&algorithm_handle, BCRYPT_MD5_ALGORITHM, nullptr, 0)))
        return std::nullopt;
    UniqueHandle<AlgorithmTraits> algorithm(algorithm_handle);
    BCRYPT_HASH_HANDLE hash_handle = nullptr;
    if (!succeeded(BCryptCreateHash(algorithm.get(), &hash_handle, nullptr, 0, nullptr, 0, 0)))
        return std::nullopt;
    UniqueHandle<HashTraits> hash(hash_handle);
    // BCrypt takes a non-const buffer it does not write to.
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
    if (!succeeded(BCryptHashData(hash.get(), data, static_cast<ULONG>(bytes.size()), 0)))
        return std::nullopt;
    Md5Digest digest{};
    if (!succeeded(BCryptFinishHash(hash.get(), digest.data(), digest.size(), 0)))
        return std::nullopt;
    return digest;
}

} // namespace kest::platform
