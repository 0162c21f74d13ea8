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
  if (postNotification) postNotification(stored);
}

}  // namespace glimmet
