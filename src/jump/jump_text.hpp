#pragma once

// The texts the jump openers hand to other programs: AppleScript for iTerm2 and Terminal, shell
// scripts for the cmux tool, and the `open` arguments for a folder. Pure, so every byte the
// user's machine would run is checked by tests on any machine.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmet {

// Whether a path exists, for the application checks; tests pass their own.
using PathExists = std::function<bool(const std::string&)>;

// Inside an AppleScript double-quoted string: backslash and double quote escaped.
std::string osascriptEscape(std::string_view text);
// One shell word: single-quoted, a single quote inside written as '\''.
std::string shellQuote(std::string_view text);
// Trimmed; longer than `limit` characters: the first limit - 3 and "...".
std::string truncatedDiagnostic(std::string_view text, size_t limit);
// An iTerm2 id as an AppleScript literal: an integer as it is, anything else a quoted string.
std::string itermIDLiteral(std::string_view id);

std::string itermActivateScript();
// Selects the session (by id), else the session on a tty (the tab id), else the window, and
// activates iTerm; absent without any id. A missing session is an AppleScript error.
std::optional<std::string> itermSelectionScript(const std::optional<std::string>& windowID,
                                                const std::optional<std::string>& tabID,
                                                const std::optional<std::string>& sessionID);
// Brings Terminal's tab on a tty (the tab id), else the window, to the front; absent without
// either id.
std::optional<std::string> terminalSelectionScript(const std::optional<std::string>& windowID,
                                                   const std::optional<std::string>& tabID);

// The application a terminal's free-form name (or bundle id) stands for: "iTerm", "WezTerm",
// "Terminal", ...; an unknown name as given, without ".app".
std::string terminalApplicationName(std::string_view terminal, const PathExists& exists);
// `open` arguments that open `cwd` in the terminal: "-b" and a bundle id, else "-a" and the
// application name.
std::vector<std::string> terminalOpenArguments(const std::string& cwd, std::string_view terminal,
                                               const PathExists& exists);

// Editors open a folder in their own window, so when `open -a` fails for one, the folder is
// shown in the file manager instead; a terminal that fails is reported.
bool terminalAllowsFinderFallback(std::string_view application);

// The Linux terminal command a free-form terminal name ("GNOME Terminal", "WezTerm", "xterm",
// a path) stands for; absent for a name that is none of them.
std::optional<std::string> linuxTerminalCommand(std::string_view terminal);
// The command line that opens a new window of the terminal at `program` in `cwd`, by the
// terminal's own option where it has one (gnome-terminal's server does not inherit the cwd).
std::vector<std::string> linuxTerminalArguments(std::string_view command,
                                                const std::string& program, const std::string& cwd);

// Runs the cmux tool detached from the caller, so that a tool that keeps running does not hold
// the jump, while its exit status still reaches the shell.
std::string cmuxShellDetachedScript(const std::string& tool, const std::vector<std::string>& args);
// The same script run by AppleScript's `do shell script`, outside the application's sandbox.
std::string cmuxOsascriptShellScript(const std::string& tool, const std::vector<std::string>& args);

}  // namespace glimmet
