#include "net/gzip_decoder.h"

#include <gtest/gtest.h>

#include "support/http_server.h"

namespace kest::net {
namespace {

std::string decode_in_pieces(std::string_view compressed, std::size_t piece, std::size_t limit,
                             GzipStatus& status) {
    GzipDecoder decoder;
    std::string out;
    status = GzipStatus::Ok;
    for (std::size_t i = 0; i < compressed.size() && status == GzipStatus::Ok; i += piece)
        status = decoder.feed(compressed.substr(i, piece), out, limit);
    if (status == GzipStatus::Ok)
        status = decoder.finish();
    return out;
}

TEST(GzipDecoder, DecodesWhateverTheChunkingAndJoinsMembers) {
    std::string plain;
    for (int i = 0; i < 20000; ++i)
        plain += std::to_string(i * 7919 % 1000) + ",";
    std::string packed = testing::gzip_compress(plain);
    for (std::size_t piece : {std::size_t(1), std::size_t(7), packed.size()}) {
        SCOPED_TRACE(piece);
        GzipStatus status;
        EXPECT_EQ(decode_in_pieces(packed, piece, plain.size(), status), plain);
        EXPECT_EQ(status, GzipStatus::Ok);
    }
    GzipStatus status;
    std::string two = testing::gzip_compress("first ") + testing::gzip_compress("second");
    EXPECT_EQ(decode_in_pieces(two, 5, 100, status), "first second");
    EXPECT_EQ(status, GzipStatus::Ok);
}

TEST(GzipDecoder, RefusesBrokenStreamsAndOutputBeyondTheLimit) {
    std::string packed = testing::gzip_compress(std::string(1 << 20, 'a'));
    GzipStatus status;
    decode_in_pieces(packed, 4096, (1 << 20) - 1, status);
    EXPECT_EQ(status, GzipStatus::TooLarge);

    decode_in_pieces(packed.substr(0, packed.size() - 4), 4096, 1 << 20, status);
    EXPECT_EQ(status, GzipStatus::Malformed) << "truncated";
    decode_in_pieces("not gzip at all", 4, 100, status);
    EXPECT_EQ(status, GzipStatus::Malformed);
    decode_in_pieces(testing::gzip_compress("x") + "trailing junk", 64, 100, status);
    EXPECT_EQ(status, GzipStatus::Malformed);
}

} // namespace
} // namespace kest::net
