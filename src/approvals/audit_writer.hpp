#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// What one reconciliation at launch did.
struct AuditReconciliation {
  // Lines of the log's tail that were parsed.
  size_t linesRead = 0;
  // Requests found cut off by the stop and marked "dropped_on_restart".
  size_t dropped = 0;
};

struct AuditLimits {
  // 10 MiB holds tens of thousands of approvals, months of heavy use; at that size the log
  // moves to "<file>.1" (replacing the one before), so it takes at most twice this on disk.
  uint64_t rotateBytes = uint64_t{10} * 1024 * 1024;
  // Reconciliation needs only the requests of the last run that never got a reply; they sit
  // near the end (a request waits minutes at most), so a launch reads only this much.
  uint64_t reconcileTailBytes = uint64_t{1024} * 1024;
};

// The approval audit log, ~/.glimmet/audit.jsonl, readable by its owner only: one sorted-key
// JSON line per request, per final status (with the reply's decision and mode) and per
// request a stop cut off. Failures are swallowed: auditing never delays or fails an approval.
// Main loop only.
class AuditWriter {
 public:
  explicit AuditWriter(std::string auditFile, ClockFunction now = systemNow,
                       AuditLimits limits = {});

  const std::string& auditFile() const { return auditFile_; }

  void recordRequest(const PendingAction& action);
  // `decision` and `mode` are written only when a reply is given.
  void recordReply(const PendingAction& action, const std::optional<HookReply>& reply);
  // Appends one "pending_reconcile" line, status "dropped_on_restart", for every request of an
  // earlier run that has neither a reply nor a reconciliation line. Requests that ended before
  // the stop need none: their reply line says how they ended.
  AuditReconciliation reconcileOnLaunch();

 private:
  void append(const Json& record);
  // Moves the full log aside and starts a new one with the requests still waiting, so that
  // every open request keeps its request line in the current file.
  void rotate(const std::string& nextLine);
  void writeNew(const std::string& bytes);

  std::string auditFile_;
  ClockFunction now_;
  AuditLimits limits_;
  std::optional<uint64_t> size_;
  // Request lines of this run's requests that have no reply yet, oldest first.
  std::vector<std::pair<std::string, std::string>> openRequests_;
};

// The launch wiring: new requests and final statuses of `store`, with the replies they got, go
// to `writer`.
void attachAuditObserver(PendingActionStore& store, AuditWriter& writer);

}  // namespace glimmet
