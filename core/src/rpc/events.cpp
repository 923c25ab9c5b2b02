#include "rpc/events.h"

#include "rpc/output.h"

namespace kest::rpc {

Json state_event(vpn::VpnState state, const std::string& msg) {
    return Json{{"event", "state"}, {"msg", msg}, {"state", vpn::state_name(state)}};
}

Json need_restart_event() {
    return Json{{"event", "need_restart"}};
}

namespace {

void put(const EventQueue::Sender& queue, UnwrittenLines& unwritten, Json event) {
    unwritten.add();
    if (!queue.send(std::move(event)))
        unwritten.done(); // the writer has gone: the event is dropped
}

} // namespace

vpn::StatusSink make_status_sink(const EventQueue::Sender& producer,
                                 std::shared_ptr<UnwrittenLines> unwritten) {
    EventQueue::Sender for_state = producer;
    EventQueue::Sender for_restart = producer;
    return vpn::StatusSink{
        [for_state, unwritten](vpn::VpnState s, const std::string& msg) {
            put(for_state, *unwritten, state_event(s, msg));
        },
        [for_restart, unwritten] { put(for_restart, *unwritten, need_restart_event()); },
    };
}

void event_writer_thread(EventQueue::Receiver events, std::shared_ptr<AppState> state) {
    while (auto event = events.recv()) {
        write_json_line(*state, *event);
        state->unwritten_lines->done();
    }
}

} // namespace kest::rpc
