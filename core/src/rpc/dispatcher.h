#pragma once
// Turns one request into its answer: the value that becomes "result", or the mark that the
// response line has already been written.
#include <memory>
#include <variant>

#include "rpc/app_state.h"
#include "rpc/request.h"
#include "json/json.h"

namespace kest::rpc {

struct Answered {};
using DispatchResult = std::variant<Json, Answered>;

DispatchResult dispatch(const std::shared_ptr<AppState>& state, Request request);

} // namespace kest::rpc
