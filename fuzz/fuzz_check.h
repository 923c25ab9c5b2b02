#pragma once
// A property a fuzz target holds the code to: a broken one aborts, which libFuzzer reports as a
// crash with the input that caused it.
#include <cstdlib>

inline void fuzz_require(bool condition) {
    if (!condition)
        std::abort();
}
