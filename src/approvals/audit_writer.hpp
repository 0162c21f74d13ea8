#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/json_values.hpp"
#include "base/time.hpp"
#include "model/hook_messages.hpp"
#include "model/pending_action.hpp"

namespace glimmet {

class PendingActionStore;

// What a line of the approval audit log records: a request arriving, its final status, or its
// reconciliation after a restart.
enum class ApprovalAuditRole { pendingRequest, pendingReply, pendingReconcile };

// "pending_request", "pending_reply", "pending_reconcile": the "role" of the audit line.
std::string_view rawValue(ApprovalAuditRole role);
std::optional<ApprovalAuditRole> approvalAuditRoleFromRaw(std::string_view raw);

// The approval audit log, ~/.glimmet/audit.jsonl: one sorted-key JSON line per request, per
// final status and per reconciliation after a restart. Failures are swallowed: auditing never
// delays or fails an approval. Main loop only.
class AuditWriter {
 public:
  explicit AuditWriter(std::string auditFile, ClockFunction now = systemNow);

  const std::string& auditFile() const { return auditFile_; }

  void recordRequest(const PendingAction& action);
  // `decision` and `mode` are written only when a reply is given.
  void recordReply(const PendingAction& action, const std::optional<HookReply>& reply);
  // Appends one "pending_reconcile" line for every request not reconciled before.
  void reconcileOnLaunch();

 private:
  void append(const Json& record);

  std::string auditFile_;
  ClockFunction now_;
};

// The launch wiring: new requests and final statuses of `store` go to `writer`.
void attachAuditObserver(PendingActionStore& store, AuditWriter& writer);

}  // namespace glimmet
