#include "support/fake_processes.h"

namespace kest::testing {

vpn::ProcessCalls FakeProcesses::calls(std::uint32_t self_pid) {
    vpn::ProcessCalls c;
    c.snapshot = [this] {
        ++snapshots;
        return processes;
    };
    c.image_path = [this](std::uint32_t pid, platform::ImagePathBuffer&) {
        auto it = paths.find(pid);
        return it == paths.end() ? std::string() : it->second;
    };
    c.self_pid = self_pid;
    c.separator = '\\';
    return c;
}

} // namespace kest::testing
