#pragma once

// jump_diagnostic.jsonl: one line per step of every jump, so that a jump that did nothing can be
// explained afterwards (which program ran, with what, and what it said).

#include <string>

#include "base/json_values.hpp"
#include "base/time.hpp"
#include "model/paths.hpp"
#include "platform/captured_process.hpp"

namespace glimmet {

// Program output kept per record; a terminal that prints a screenful must not bloat the file.
inline constexpr size_t kDiagnosticOutputLimit = 400;

std::string jumpDiagnosticFile(const Paths& paths);

class JumpDiagnostics {
 public:
  // An empty `file` records nothing.
  explicit JumpDiagnostics(std::string file, ClockFunction clock = systemNow)
      : file_(std::move(file)), clock_(std::move(clock)) {}

  // Appends `fields` with a `timestamp`, keys sorted; a failure to write is ignored, as a jump
  // must not fail for its diagnostics.
  void record(Json fields) const;

  const std::string& file() const { return file_; }

 private:
  std::string file_;
  ClockFunction clock_;
};

// exit_code, stdout, stderr (trimmed, cut to kDiagnosticOutputLimit) and launch_error of a run.
void addProcessFields(Json& fields, const CapturedProcessResult& result);

}  // namespace glimmet
