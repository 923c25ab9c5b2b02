#pragma once
// The event queue between the VPN session and standard output, and the status callbacks that
// fill it.
#include <memory>

#include "base/channel.h"
#include "rpc/app_state.h"
#include "vpn/status_sink.h"
#include "json/json.h"

namespace kest::rpc {

using EventQueue = Channel<Json>;

Json state_event(vpn::VpnState state, const std::string& msg);
Json need_restart_event();

// on_state and on_need_restart, each owning one producer handle of the queue; each event counts
// as unwritten until the event writer has written it.
vpn::StatusSink make_status_sink(const EventQueue::Sender& producer,
                                 std::shared_ptr<UnwrittenLines> unwritten);

// Prints every queued event until every producer is gone, each counted off the state's
// unwritten lines once written.
void event_writer_thread(EventQueue::Receiver events, std::shared_ptr<AppState> state);

} // namespace kest::rpc
