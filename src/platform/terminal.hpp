#pragma once

namespace glimmet {

// Whether standard error is a terminal a person watches, where a progress bar redrawn in
// place reads well; in a log file or a pipe it would be noise.
bool standardErrorIsTerminal();

}  // namespace glimmet
