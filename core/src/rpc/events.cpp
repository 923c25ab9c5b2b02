#include "rpc/events.h"

#include "rpc/output.h"

namespace kest::rpc {

Json state_event(vpn::VpnState state, const std::string& msg) {
    return Json{{"event", "state"}, {"msg", msg}, {"state", vpn::state_name(state)}};
}

Json need_restart_event() {
    return Json{{"event", "need_restart"}};
}

vpn::StatusSink make_status_sink(const EventQueue::Sender& producer) {
    EventQueue::Sender for_state = producer;
    EventQueue::Sender for_restart = producer;
    return vpn::StatusSink{
        [for_state](vpn::VpnState s, const std::string& msg) {
            (void)for_state.send(state_event(s, msg));
        },
        [for_restart] { (void)for_restart.send(need_restart_event()); },
    };
}

void event_writer_thread(EventQueue::Receiver events, std::shared_ptr<AppState> state) {
    while (auto event = events.recv())
        write_json_line(*state, *event);
}

} // namespace kest::rpc
