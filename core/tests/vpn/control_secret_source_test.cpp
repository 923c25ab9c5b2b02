// The control secret must come from the system's cryptographic generator and nowhere else. The
// generator's entry point (getrandom, or BCryptGenRandom on Windows) is replaced in this
// program by one that the test thread can script while it makes a secret; every other call,
// on any thread, goes on to the real generator.
#include "vpn/control_values.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "platform/env.h"

#ifdef _WIN32
#include "platform/win32/windows_api.h"

#include <bcrypt.h>
#else
#include <cerrno>
#include <sys/random.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

struct ScriptedGenerator {
    std::size_t piece = std::numeric_limits<std::size_t>::max(); // most bytes one call gives
    int interruptions = 0; // calls that are interrupted before any byte (POSIX)
    bool refuse = false;
    std::uint8_t next = 0;        // the value of the next byte handed out, counting up
    std::size_t bytes = 0;        // handed out in all
    bool system_preferred = true; // every call asked for the system's preferred generator
};

thread_local ScriptedGenerator* scripted = nullptr;

std::size_t hand_out(ScriptedGenerator& g, unsigned char* buffer, std::size_t size) {
    std::size_t n = std::min(size, g.piece);
    for (std::size_t i = 0; i < n; ++i)
        buffer[i] = g.next++;
    g.bytes += n;
    return n;
}

} // namespace

#ifdef _WIN32
extern "C" NTSTATUS WINAPI BCryptGenRandom(BCRYPT_ALG_HANDLE algorithm, PUCHAR buffer, ULONG size,
                                           ULONG flags) {
    if (!scripted) {
        using Real = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, PUCHAR, ULONG, ULONG);
        static const auto real = reinterpret_cast<Real>(reinterpret_cast<void*>(
            GetProcAddress(LoadLibraryW(L"bcrypt.dll"), "BCryptGenRandom")));
        return real ? real(algorithm, buffer, size, flags) : NTSTATUS(0xC0000001L);
    }
    if (algorithm != nullptr || flags != BCRYPT_USE_SYSTEM_PREFERRED_RNG)
        scripted->system_preferred = false;
    if (scripted->refuse)
        return NTSTATUS(0xC0000001L); // STATUS_UNSUCCESSFUL
    hand_out(*scripted, buffer, size);
    return 0;
}
#else
extern "C" ssize_t getrandom(void* buffer, size_t size, unsigned int flags) {
    if (!scripted)
        return ::syscall(SYS_getrandom, buffer, size, flags);
    if (flags != 0)
        scripted->system_preferred = false;
    if (scripted->interruptions > 0) {
        --scripted->interruptions;
        errno = EINTR;
        return -1;
    }
    if (scripted->refuse) {
        errno = ENOSYS;
        return -1;
    }
    return static_cast<ssize_t>(hand_out(*scripted, static_cast<unsigned char*>(buffer), size));
}
#endif

namespace kest::vpn {
namespace {

// Scripts the generator for the calls of this thread while it lives.
class Scripted {
public:
    explicit Scripted(ScriptedGenerator& g) { scripted = &g; }
    ~Scripted() { scripted = nullptr; }
    Scripted(const Scripted&) = delete;
    Scripted& operator=(const Scripted&) = delete;
};

TEST(ControlSecretSource, IsExactlyTheBytesTheSystemGeneratorGave) {
    const bool windows = platform::path_separator() == '\\';
    struct Case {
        const char* what;
        std::size_t piece;
        int interruptions;
    } cases[] = {
        {"all at once", std::numeric_limits<std::size_t>::max(), 0},
        // The Windows generator always fills the whole buffer; only getrandom may stop short.
        {"in pieces of five bytes", 5, 0},
        {"after interrupted calls", std::numeric_limits<std::size_t>::max(), 2},
    };
    for (const Case& c : cases) {
        if (windows && (c.piece != cases[0].piece || c.interruptions != 0))
            continue;
        SCOPED_TRACE(c.what);
        ScriptedGenerator g;
        g.piece = c.piece;
        g.interruptions = c.interruptions;
        g.next = 0xf0;
        std::string secret;
        {
            Scripted scope(g);
            secret = make_control_secret();
        }
        EXPECT_EQ(secret, "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff000102030405060708090a0b0c0d0e0f");
        EXPECT_EQ(g.bytes, control_secret_bytes) << "no byte drawn and left unused";
        EXPECT_TRUE(g.system_preferred);
    }
}

TEST(ControlSecretSource, AGeneratorThatRefusesGivesNoSecret) {
    ScriptedGenerator g;
    g.refuse = true;
    Scripted scope(g);
    EXPECT_THROW(make_control_secret(), std::runtime_error);
}

} // namespace
} // namespace kest::vpn
