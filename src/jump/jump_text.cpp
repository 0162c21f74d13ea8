#include "jump/jump_text.hpp"

#include <charconv>

#include "base/text.hpp"

namespace glimmet {

std::string osascriptEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

std::string shellQuote(std::string_view text) {
  return "'" + replaceAll(text, "'", "'\\''") + "'";
}

std::string truncatedDiagnostic(std::string_view text, size_t limit) {
  std::string trimmed = trim(text);
  if (utf8Length(trimmed) <= limit) return trimmed;
  return utf8Prefix(trimmed, limit >= 3 ? limit - 3 : 0) + "...";
}

std::string itermIDLiteral(std::string_view id) {
  long long number = 0;
  const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), number);
  if (!id.empty() && error == std::errc() && end == id.data() + id.size()) return std::string(id);
  return "\"" + osascriptEscape(id) + "\"";
}

std::string itermActivateScript() {
  return "tell application \"iTerm\" to activate";
}

namespace {

bool present(const std::optional<std::string>& id) {
  return id && !trim(*id).empty();
}

// ITERM_SESSION_ID reads "w0t1p0:<uuid>"; AppleScript knows the session by the uuid alone.
std::string itermSessionUUID(const std::string& id) {
  const auto colon = id.find(':');
  if (colon == std::string::npos || id.empty() || id[0] != 'w') return id;
  for (size_t i = 1; i < colon; ++i) {
    const char c = id[i];
    if (!(c == 't' || c == 'p' || (c >= '0' && c <= '9'))) return id;
  }
  return id.substr(colon + 1);
}

// Walks every session of every tab of every window and selects the first that `condition`
// (AppleScript about `aSession`) holds for.
std::string itermSessionWalk(const std::string& condition, const std::string& notFound,
                             bool guarded) {
  const std::string select =
      "select aWindow\n"
      "select aTab\n"
      "select aSession\n"
      "activate\n"
      "return\n";
  std::string test = "if " + condition + " then\n" + select + "end if\n";
  if (guarded) test = "try\n" + test + "end try\n";
  return "tell application \"iTerm\"\n"
         "repeat with aWindow in windows\n"
         "repeat with aTab in tabs of aWindow\n"
         "repeat with aSession in sessions of aTab\n" +
         test +
         "end repeat\n"
         "end repeat\n"
         "end repeat\n"
         "error \"" +
         notFound +
         "\"\n"
         "end tell";
}

}  // namespace

std::optional<std::string> itermSelectionScript(const std::optional<std::string>& windowID,
                                                const std::optional<std::string>& tabID,
                                                const std::optional<std::string>& sessionID) {
  if (present(sessionID)) {
    return itermSessionWalk("id of aSession is " + itermIDLiteral(itermSessionUUID(*sessionID)),
                            "session not found", false);
  }
  if (present(tabID)) {
    return itermSessionWalk("tty of aSession is \"" + osascriptEscape(*tabID) + "\"",
                            "iTerm2 tab/session not found", true);
  }
  if (present(windowID)) {
    return "tell application \"iTerm\"\n"
           "repeat with aWindow in windows\n"
           "if id of aWindow is " +
           itermIDLiteral(*windowID) +
           " then\n"
           "select aWindow\n"
           "activate\n"
           "return\n"
           "end if\n"
           "end repeat\n"
           "error \"iTerm2 window not found\"\n"
           "end tell";
  }
  return std::nullopt;
}

std::optional<std::string> terminalSelectionScript(const std::optional<std::string>& windowID,
                                                   const std::optional<std::string>& tabID) {
  if (present(tabID)) {
    return "tell application \"Terminal\"\n"
           "repeat with aWindow in windows\n"
           "repeat with aTab in tabs of aWindow\n"
           "if tty of aTab is \"" +
           osascriptEscape(*tabID) +
           "\" then\n"
           "set selected tab of aWindow to aTab\n"
           "set index of aWindow to 1\n"
           "activate\n"
           "return\n"
           "end if\n"
           "end repeat\n"
           "end repeat\n"
           "error \"terminal tab not found\"\n"
           "end tell";
  }
  if (present(windowID)) {
    return "tell application \"Terminal\"\n"
           "set index of window id " +
           itermIDLiteral(*windowID) +
           " to 1\n"
           "activate\n"
           "end tell";
  }
  return std::nullopt;
}

std::string terminalApplicationName(std::string_view terminal, const PathExists& exists) {
  const std::string lower = toLower(terminal);
  const auto any = [&](std::initializer_list<std::string_view> parts) {
    for (const auto part : parts) {
      if (contains(lower, part)) return true;
    }
    return false;
  };
  if (any({"iterm", "googlecode.iterm2"})) return "iTerm";
  if (any({"wezterm", "wez.wezterm"})) return "WezTerm";
  if (any({"warp"})) return "Warp";
  if (any({"ghostty"})) return "Ghostty";
  if (any({"alacritty"})) return "Alacritty";
  if (any({"kitty"})) return "kitty";
  if (any({"tabby"})) return "Tabby";
  if (any({"hyper"})) return "Hyper";
  if (any({"cursor", "com.todesktop.230313mzl4w4u92"})) return "Cursor";
  if (any({"cn.trae.solo", "trae solo", "trae-solo"})) {
    if (exists("/Applications/TRAE SOLO CN.app")) return "TRAE SOLO CN";
    if (exists("/Applications/Trae SOLO.app")) return "Trae SOLO";
    // Neither is installed; the name still says which app was meant.
    return "Trae SOLO";
  }
  if (any({"cn.trae.app", "trae"})) {
    if (!exists("/Applications/Trae.app") && exists("/Applications/Trae CN.app")) return "Trae CN";
    return "Trae";
  }
  if (any({"vscode", "visual studio code"})) return "Visual Studio Code";
  if (any({"apple_terminal", "com.apple.terminal", "terminal"})) return "Terminal";
  std::string name(terminal);
  if (endsWith(name, ".app")) name.resize(name.size() - 4);
  return name;
}

namespace {

bool isBundleID(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!allowed) return false;
  }
  size_t parts = 0;
  for (const auto& part : split(text, '.')) parts += part.empty() ? 0 : 1;
  return parts >= 3;
}

}  // namespace

std::vector<std::string> terminalOpenArguments(const std::string& cwd, std::string_view terminal,
                                               const PathExists& exists) {
  if (isBundleID(terminal)) return {"-b", std::string(terminal), cwd};
  return {"-a", terminalApplicationName(terminal, exists), cwd};
}

bool terminalAllowsFinderFallback(std::string_view application) {
  for (const std::string_view editor :
       {"Cursor", "Visual Studio Code", "Trae", "Trae CN", "Trae SOLO", "TRAE SOLO CN"}) {
    if (application == editor) return true;
  }
  return false;
}

std::optional<std::string> linuxTerminalCommand(std::string_view terminal) {
  std::string lower = toLower(trim(terminal));
  if (const auto slash = lower.rfind('/'); slash != std::string::npos) lower.erase(0, slash + 1);
  // kitty's TERM is "xterm-kitty", so kitty and the others come before xterm.
  if (contains(lower, "gnome")) return "gnome-terminal";
  if (contains(lower, "konsole")) return "konsole";
  if (contains(lower, "kitty")) return "kitty";
  if (contains(lower, "wezterm")) return "wezterm";
  if (contains(lower, "alacritty")) return "alacritty";
  if (contains(lower, "x-terminal-emulator")) return "x-terminal-emulator";
  if (contains(lower, "xterm")) return "xterm";
  return std::nullopt;
}

std::vector<std::string> linuxTerminalArguments(std::string_view command,
                                                const std::string& program,
                                                const std::string& cwd) {
  if (command == "gnome-terminal") return {program, "--working-directory=" + cwd};
  if (command == "konsole") return {program, "--workdir", cwd};
  if (command == "kitty") return {program, "--directory", cwd};
  if (command == "wezterm") return {program, "start", "--cwd", cwd};
  if (command == "alacritty") return {program, "--working-directory", cwd};
  // xterm and unknown terminals start in the folder they are started from.
  return {program};
}

std::string cmuxShellDetachedScript(const std::string& tool, const std::vector<std::string>& args) {
  std::string script = "nohup " + shellQuote(tool);
  for (const auto& arg : args) script += " " + shellQuote(arg);
  return script + " >/dev/null 2>&1 </dev/null & wait $!; exit $?";
}

std::string cmuxOsascriptShellScript(const std::string& tool,
                                     const std::vector<std::string>& args) {
  return "do shell script \"" + osascriptEscape(cmuxShellDetachedScript(tool, args)) + "\"";
}

}  // namespace glimmet
