#include "approvals/hook_request_handler.hpp"

namespace glimmet {

void handleHookRequest(PendingActionStore& store, const HookRequest& request,
                       SocketReplyHandle handle,
                       const std::function<void(const PendingAction&)>& postNotification,
                       const ClockFunction& now) {
  const auto kind = pendingActionKind(request.kind);
  if (!kind) {
    if (handle.close) handle.close();
    return;
  }
  const PendingAction stored =
      store.insert(makePendingAction(request, *kind, now()), std::move(handle.send));
  // The agent ends a bridge it no longer waits on (the user answered in the terminal, the turn
  // was interrupted); the request then stops waiting here too.
  if (handle.onPeerClosed) handle.onPeerClosed(store.hangUpHandler(stored.requestID));
  if (postNotification) postNotification(stored);
}

}  // namespace glimmet
