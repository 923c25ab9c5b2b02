#pragma once
// Incremental gzip decoding of a response body, bounded by the caller's size limit so that a
// small compressed body cannot expand into more memory than the caller accepts.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace kest::net {

enum class GzipStatus { Ok, Malformed, TooLarge };

class GzipDecoder {
public:
    GzipDecoder();
    ~GzipDecoder();
    GzipDecoder(const GzipDecoder&) = delete;
    GzipDecoder& operator=(const GzipDecoder&) = delete;

    // Decodes the next compressed bytes and appends the result to out, which may not grow
    // beyond limit bytes. Concatenated gzip members are decoded one after the other.
    GzipStatus feed(std::string_view compressed, std::string& out, std::size_t limit);
    // Ok when the data fed so far ended exactly at the end of a gzip member.
    GzipStatus finish() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace kest::net
