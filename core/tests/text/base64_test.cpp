#include "text/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace kest::text {
namespace {

std::string bytes_from(int first, int step, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += static_cast<char>(first + step * i);
    return out;
}

TEST(Base64, EncodesWithTheStandardAlphabetAndPadding) {
    struct Case {
        std::string bytes;
        std::string text;
    };
    // The first seven are RFC 4648's vectors; the byte runs were encoded by Python's base64 and
    // reach every letter of the alphabet, "+" and "/" included, with one and two padding signs.
    const Case cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\0\0", 2), "AAA="},
        {bytes_from(0, 1, 256),
         "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+P0BBQ"
         "kNERUZHSElKS0xNTk9QUVJTVFVWV1hZWltcXV5fYGFiY2RlZmdoaWprbG1ub3BxcnN0dXZ3eHl6e3x9fn+"
         "AgYKDhIWG"
         "h4iJiouMjY6PkJGSk5SVlpeYmZqbnJ2en6ChoqOkpaanqKmqq6ytrq+wsbKztLW2t7i5uru8vb6/"
         "wMHCw8TFxsfIycrL"
         "zM3Oz9DR0tPU1dbX2Nna29zd3t/g4eLj5OXm5+jp6uvs7e7v8PHy8/T19vf4+fr7/P3+/w=="},
        {bytes_from(255, -1, 254),
         "//79/Pv6+fj39vX08/Lx8O/"
         "u7ezr6uno5+bl5OPi4eDf3t3c29rZ2NfW1dTT0tHQz87NzMvKycjHxsXEw8LBwL++vb"
         "y7urm4t7a1tLOysbCvrq2sq6qpqKempaSjoqGgn56dnJuamZiXlpWUk5KRkI+OjYyLiomIh4aFhIOCgYB/"
         "fn18e3p5eH"
         "d2dXRzcnFwb25tbGtqaWhnZmVkY2JhYF9eXVxbWllYV1ZVVFNSUVBPTk1MS0pJSEdGRURDQkFAPz49PDs6OTg3NjU"
         "0Mz"
         "IxMC8uLSwrKikoJyYlJCMiISAfHh0cGxoZGBcWFRQTEhEQDw4NDAsKCQgHBgUEAwI="},
    };
    for (const Case& c : cases)
        EXPECT_EQ(base64_encode(c.bytes), c.text) << "input of " << c.bytes.size() << " bytes";
}

} // namespace
} // namespace kest::text
