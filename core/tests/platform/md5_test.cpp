#include "platform/md5.h"

#include <gtest/gtest.h>

#include <string>

#include "text/hex.h"

namespace kest::platform {
namespace {

std::string lower_hex(const Md5Digest& d) {
    return text::hex_lower(d);
}

// The test suite of RFC 1321, appendix A.5.
TEST(Md5Digest, MatchesTheReferenceSuite) {
    const struct {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        auto digest = md5_digest(c.input);
        ASSERT_TRUE(digest) << c.input;
        EXPECT_EQ(lower_hex(*digest), c.digest) << c.input;
    }
}

TEST(Md5Digest, TakesEmbeddedNulBytes) {
    // printf 'a\0b' | md5sum
    auto digest = md5_digest(std::string("a\0b", 3));
    ASSERT_TRUE(digest);
    EXPECT_EQ(lower_hex(*digest), "70350f6027bce3713f6b76473084309b");
}

} // namespace
} // namespace kest::platform
