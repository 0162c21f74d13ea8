#include "approvals/audit_writer.hpp"

#include <array>
#include <chrono>
#include <filesystem>
#include <set>

#include "approvals/pending_action_store.hpp"
#include "base/name_table.hpp"
#include "base/text.hpp"
#include "platform/file_system.hpp"

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

// Approvals name commands and paths the user would not show other users.
constexpr unsigned kFileMode = 0600;
constexpr unsigned kDirectoryMode = 0700;

// Compact with sorted keys (nlohmann keeps object keys sorted); broken UTF-8 is replaced so the
// line is always written.
std::string lineOf(const Json& record) {
  return record.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

// The complete lines among the last `maxBytes` bytes of the file; the first, cut line of the
// tail is dropped. Absent when the file cannot be read.
std::optional<std::vector<std::string>> readTailLines(const std::string& path, uint64_t maxBytes) {
  const auto metadata = fileMetadata(path);
  if (!metadata) return std::nullopt;
  const uint64_t offset = metadata->size > maxBytes ? metadata->size - maxBytes : 0;
  // One byte more, to see whether the tail starts on a line boundary.
  const uint64_t start = offset > 0 ? offset - 1 : 0;
  auto text = readFileFrom(path, start);
  if (!text) return std::nullopt;
  std::string_view tail = *text;
  if (offset > 0) {
    const size_t firstBreak = tail.find('\n');
    tail = firstBreak == std::string_view::npos ? std::string_view() : tail.substr(firstBreak + 1);
  }
  return split(tail, '\n');
}

}  // namespace

std::string_view rawValue(ApprovalAuditRole role) {
  return rawName(kApprovalAuditRoleNames, role);
}

std::optional<ApprovalAuditRole> approvalAuditRoleFromRaw(std::string_view raw) {
  return valueNamed(kApprovalAuditRoleNames, raw);
}

AuditWriter::AuditWriter(std::string auditFile, ClockFunction now, AuditLimits limits)
    : auditFile_(std::move(auditFile)), now_(std::move(now)), limits_(limits) {}

void AuditWriter::recordRequest(const PendingAction& action) {
  const Json record{{"role", rawValue(ApprovalAuditRole::pendingRequest)},
                    {"request_id", action.requestID},
                    {"timestamp", formatIso8601(action.createdAt)},
                    {"agent", action.agent},
                    {"session_id", action.sessionID},
                    {"kind", rawValue(action.kind)},
                    {"tool", textOr(action.payload.tool)},
                    {"command", textOr(action.payload.command)},
                    {"cwd", textOr(action.payload.cwd)}};
  append(record);
  // Remembered after the append: a rotation it caused already wrote the line to the new file.
  std::erase_if(openRequests_, [&](const auto& open) { return open.first == action.requestID; });
  openRequests_.emplace_back(action.requestID, lineOf(record));
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
  // Forgotten after the append: a rotation it caused keeps the request line with its reply.
  std::erase_if(openRequests_, [&](const auto& open) { return open.first == action.requestID; });
}

AuditReconciliation AuditWriter::reconcileOnLaunch() {
  AuditReconciliation result;
  // Logs of earlier versions were created readable by everyone.
  if (const auto mode = fileMode(auditFile_); mode && (*mode & 077) != 0) {
    (void)setFileMode(auditFile_, kFileMode);
  }
  const auto lines = readTailLines(auditFile_, limits_.reconcileTailBytes);
  if (!lines) return result;
  std::vector<std::pair<std::string, Json>> requests;  // in file order
  std::set<std::string> ended;
  for (const auto& line : *lines) {
    if (line.empty()) continue;
    ++result.linesRead;
    const Json object = Json::parse(line, nullptr, false);
    if (!object.is_object()) continue;
    const Json* role = member(object, "role");
    const Json* requestID = member(object, "request_id");
    if (!role || !role->is_string() || !requestID || !requestID->is_string()) continue;
    const std::string id = requestID->get<std::string>();
    const auto kind = approvalAuditRoleFromRaw(role->get<std::string>());
    if (kind == ApprovalAuditRole::pendingRequest) {
      std::erase_if(requests, [&](const auto& request) { return request.first == id; });
      requests.emplace_back(id, object);
    } else if (kind == ApprovalAuditRole::pendingReply ||
               kind == ApprovalAuditRole::pendingReconcile) {
      ended.insert(id);
    }
  }
  for (const auto& [id, request] : requests) {
    if (ended.count(id)) continue;
    append(Json{{"role", rawValue(ApprovalAuditRole::pendingReconcile)},
                {"request_id", id},
                {"timestamp", formatIso8601(now_())},
                {"status", "dropped_on_restart"},
                {"original_kind", stringMember(request, "kind")},
                {"original_agent", stringMember(request, "agent")}});
    ++result.dropped;
  }
  return result;
}

void AuditWriter::append(const Json& record) {
  // Diagnostic writes swallow their own file errors.
  const std::string line = lineOf(record);
  if (!size_) {
    const auto metadata = fileMetadata(auditFile_);
    size_ = metadata ? metadata->size : 0;
  }
  if (*size_ > 0 && *size_ + line.size() > limits_.rotateBytes) {
    rotate(line);
    return;
  }
  if (*size_ == 0 || !fileExists(auditFile_)) {
    writeNew(line);
    return;
  }
  if (appendToFile(auditFile_, line)) *size_ += line.size();
}

void AuditWriter::rotate(const std::string& nextLine) {
  // Copied rather than renamed, through atomic writes only: a stop at any point leaves both
  // files whole. It happens once per 10 MiB.
  const auto full = readFile(auditFile_);
  if (!full || !writeFileAtomically(auditFile_ + ".1", *full, kFileMode)) {
    // Could not move it aside: keep appending rather than lose lines.
    if (appendToFile(auditFile_, nextLine)) *size_ += nextLine.size();
    return;
  }
  std::string bytes;
  for (const auto& open : openRequests_) bytes += open.second;
  writeNew(bytes + nextLine);
}

void AuditWriter::writeNew(const std::string& bytes) {
  // A new file is created whole with its final mode, so it is never readable by others, not
  // even for a moment; the directory is made private only when this creates it.
  const std::string directory = std::filesystem::path(auditFile_).parent_path().string();
  if (!directory.empty() && !isDirectory(directory)) {
    if (createDirectories(directory)) (void)setFileMode(directory, kDirectoryMode);
  }
  if (writeFileAtomically(auditFile_, bytes, kFileMode)) {
    size_ = bytes.size();
  } else {
    size_.reset();
  }
}

void attachAuditObserver(PendingActionStore& store, AuditWriter& writer) {
  store.addObserver([&store, &writer](const PendingAction& action) {
    if (action.status == PendingActionStatus::awaitingUser) {
      writer.recordRequest(action);
    } else {
      writer.recordReply(action, store.reply(action.requestID));
    }
  });
}

}  // namespace glimmet
