#pragma once

#include <functional>

#include "approvals/hook_socket_service.hpp"
#include "approvals/pending_action_store.hpp"
#include "base/time.hpp"

namespace glimmet {

// The socket server's handler: a request of a known kind becomes a waiting action and is
// announced, and ends as hookDropped if its bridge hangs up first; any other kind closes the
// connection without a reply, and the bridge falls back to the agent's own prompt.
void handleHookRequest(PendingActionStore& store, const HookRequest& request,
                       SocketReplyHandle handle,
                       const std::function<void(const PendingAction&)>& postNotification,
                       const ClockFunction& now = systemNow);

}  // namespace glimmet
