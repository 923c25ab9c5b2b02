#pragma once
// One owning wrapper for every operating-system handle: move-only, closed exactly once, with the
// close function and the "no handle" value named by a traits type, e.g.
//   struct FdTraits { using type = int; static int invalid() { return -1; }
//                     static void close(int fd) { ::close(fd); } };
//   using UniqueFd = UniqueHandle<FdTraits>;
#include <utility>

namespace kest::platform {

template <class Traits> class UniqueHandle {
public:
    using handle_type = typename Traits::type;

    UniqueHandle() noexcept : h_(Traits::invalid()) {}
    explicit UniqueHandle(handle_type h) noexcept : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o)
            reset(o.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    handle_type get() const noexcept { return h_; }
    bool valid() const noexcept { return h_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing.
    handle_type release() noexcept { return std::exchange(h_, Traits::invalid()); }
    // Closes the handle held (if any) and takes h.
    void reset(handle_type h = Traits::invalid()) noexcept {
        handle_type old = std::exchange(h_, h);
        if (old != Traits::invalid())
            Traits::close(old);
    }

private:
    handle_type h_;
};

} // namespace kest::platform
