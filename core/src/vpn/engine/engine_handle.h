#pragma once
// A running engine as the controller holds it. Dropping the handle closes what it still holds;
// it never stops or kills the process.
#include <memory>
#include <string>

#include "base/channel.h"
#include "platform/process.h"

namespace kest::vpn {

struct EngineHandle {
    std::unique_ptr<platform::PipeEnd> stdin_pipe; // closing it asks the engine to stop
    std::unique_ptr<platform::Process> child;
    Channel<std::string>::Receiver reports; // one line of the engine's standard output each
};

// Closes the engine's input and gives it 5 s to exit; a "stopped" report hands the process to a
// reaper that waits 5 s more. An engine that ignores both is terminated.
void stop_engine(EngineHandle& handle);

} // namespace kest::vpn
