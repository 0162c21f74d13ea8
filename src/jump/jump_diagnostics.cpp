#include "jump/jump_diagnostics.hpp"

#include "jump/jump_text.hpp"
#include "platform/json_lines.hpp"

namespace glimmet {

std::string jumpDiagnosticFile(const Paths& paths) {
  return paths.appSupportDirectory + "/jump_diagnostic.jsonl";
}

void JumpDiagnostics::record(Json fields) const {
  if (file_.empty()) return;
  fields["timestamp"] = formatIso8601(clock_ ? clock_() : systemNow());
  (void)appendJsonLine(file_, fields);
}

void addProcessFields(Json& fields, const CapturedProcessResult& result) {
  fields["exit_code"] = result.exitCode;
  fields["stdout"] = truncatedDiagnostic(result.stdoutText, kDiagnosticOutputLimit);
  fields["stderr"] = truncatedDiagnostic(result.stderrText, kDiagnosticOutputLimit);
  if (result.launchError) fields["launch_error"] = *result.launchError;
}

}  // namespace glimmet
