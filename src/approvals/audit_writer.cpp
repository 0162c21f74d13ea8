#include "approvals/audit_writer.hpp"

#include <array>
#include <chrono>
#include <map>
#include <set>

#include "approvals/pending_action_store.hpp"
#include "base/name_table.hpp"
#include "base/text.hpp"
#include "platform/file_system.hpp"
#include "platform/json_lines.hpp"

namespace glimmet {

namespace {

constexpr auto kApprovalAuditRoleNames = std::to_array<EnumName<ApprovalAuditRole>>({
    {ApprovalAuditRole::pendingRequest, "pending_request"},
    {ApprovalAuditRole::pendingReply, "pending_reply"},
    {ApprovalAuditRole::pendingReconcile, "pending_reconcile"},
});
static_assert(isCompleteNameTable(kApprovalAuditRoleNames) &&
              kApprovalAuditRoleNames.back().value == ApprovalAuditRole::pendingReconcile);

std::string textOr(const std::optional<std::string>& value) {
  return value.value_or("");
}

std::string stringMember(const Json& object, const char* key) {
  const Json* value = member(object, key);
  return value && value->is_string() ? value->get<std::string>() : std::string();
}

}  // namespace

std::string_view rawValue(ApprovalAuditRole role) {
  return rawName(kApprovalAuditRoleNames, role);
}

std::optional<ApprovalAuditRole> approvalAuditRoleFromRaw(std::string_view raw) {
  return valueNamed(kApprovalAuditRoleNames, raw);
}

AuditWriter::AuditWriter(std::string auditFile, ClockFunction now)
    : auditFile_(std::move(auditFile)), now_(std::move(now)) {}

void AuditWriter::recordRequest(const PendingAction& action) {
  append(Json{{"role", rawValue(ApprovalAuditRole::pendingRequest)},
              {"request_id", action.requestID},
              {"timestamp", formatIso8601(action.createdAt)},
              {"agent", action.agent},
              {"session_id", action.sessionID},
              {"kind", rawValue(action.kind)},
              {"tool", textOr(action.payload.tool)},
              {"command", textOr(action.payload.command)},
              {"cwd", textOr(action.payload.cwd)}});
}

void AuditWriter::recordReply(const PendingAction& action, const std::optional<HookReply>& reply) {
  const Timestamp now = now_();
  const auto latency =
      std::chrono::duration_cast<std::chrono::milliseconds>(now - action.createdAt).count();
  Json record{{"role", rawValue(ApprovalAuditRole::pendingReply)},
              {"request_id", action.requestID},
              {"timestamp", formatIso8601(now)},
              {"status", rawValue(action.status)},
              {"latency_ms", latency}};
  if (reply) {
    record["decision"] = reply->decision;
    record["mode"] = reply->mode;
  }
  append(record);
}

void AuditWriter::reconcileOnLaunch() {
  const auto text = readFile(auditFile_);
  if (!text) return;
  std::map<std::string, Json> requests;
  std::set<std::string> replied;
  std::set<std::string> reconciled;
  for (const auto& line : split(*text, '\n')) {
    if (line.empty()) continue;
    const Json object = Json::parse(line, nullptr, false);
    if (!object.is_object()) continue;
    const Json* role = member(object, "role");
    const Json* requestID = member(object, "request_id");
    if (!role || !role->is_string() || !requestID || !requestID->is_string()) continue;
    const std::string id = requestID->get<std::string>();
    const auto kind = approvalAuditRoleFromRaw(role->get<std::string>());
    if (kind == ApprovalAuditRole::pendingRequest) {
      requests[id] = object;
    } else if (kind == ApprovalAuditRole::pendingReply) {
      replied.insert(id);
    } else if (kind == ApprovalAuditRole::pendingReconcile) {
      reconciled.insert(id);
    }
  }
  for (const auto& [id, request] : requests) {
    if (reconciled.count(id)) continue;
    append(Json{{"role", rawValue(ApprovalAuditRole::pendingReconcile)},
                {"request_id", id},
                {"timestamp", formatIso8601(now_())},
                {"status", replied.count(id) ? "applied_after_crash" : "dropped_on_restart"},
                {"original_kind", stringMember(request, "kind")},
                {"original_agent", stringMember(request, "agent")}});
  }
}

void AuditWriter::append(const Json& record) {
  // Diagnostic writes swallow their own file errors.
  (void)appendJsonLine(auditFile_, record);
}

void attachAuditObserver(PendingActionStore& store, AuditWriter& writer) {
  store.addObserver([&writer](const PendingAction& action) {
    if (action.status == PendingActionStatus::awaitingUser) {
      writer.recordRequest(action);
    } else {
      writer.recordReply(action, std::nullopt);
    }
  });
}

}  // namespace glimmet
