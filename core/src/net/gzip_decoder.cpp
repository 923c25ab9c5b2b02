#include "net/gzip_decoder.h"

#include <zlib.h>

namespace kest::net {

struct GzipDecoder::State {
    z_stream zs{};
    bool ready = false;
    bool member_done = false; // the bytes fed so far close a member
    bool broken = false;
};

GzipDecoder::GzipDecoder() : state_(std::make_unique<State>()) {
    state_->ready = inflateInit2(&state_->zs, 16 + MAX_WBITS) == Z_OK;
}

GzipDecoder::~GzipDecoder() {
    if (state_->ready)
        inflateEnd(&state_->zs);
}

GzipStatus GzipDecoder::feed(std::string_view compressed, std::string& out, std::size_t limit) {
    State& s = *state_;
    if (!s.ready || s.broken)
        return GzipStatus::Malformed;
    s.zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    s.zs.avail_in = static_cast<uInt>(compressed.size());
    char buf[65536];
    for (;;) {
        if (s.member_done) {
            if (s.zs.avail_in == 0)
                break;
            inflateReset(&s.zs); // another member follows
            s.member_done = false;
        }
        s.zs.next_out = reinterpret_cast<Bytef*>(buf);
        s.zs.avail_out = sizeof buf;
        int rc = inflate(&s.zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            s.broken = true;
            return GzipStatus::Malformed;
        }
        std::size_t produced = sizeof buf - s.zs.avail_out;
        std::size_t room = limit > out.size() ? limit - out.size() : 0;
        if (produced > room) {
            s.broken = true;
            return GzipStatus::TooLarge;
        }
        out.append(buf, produced);
        if (rc == Z_STREAM_END) {
            s.member_done = true;
            continue;
        }
        // With room left in the output, zlib stopped because it used up the input.
        if (s.zs.avail_out != 0)
            break;
    }
    return GzipStatus::Ok;
}

GzipStatus GzipDecoder::finish() const {
    const State& s = *state_;
    return s.ready && !s.broken && s.member_done ? GzipStatus::Ok : GzipStatus::Malformed;
}

} // namespace kest::net
