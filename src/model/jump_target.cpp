#include "model/jump_target.hpp"

namespace glimmet {

const char* rawValue(JumpQuality quality) {
  switch (quality) {
    case JumpQuality::exactWindow:
      return "exact_window";
    case JumpQuality::sessionLevel:
      return "session_level";
    case JumpQuality::workspaceLevel:
      return "workspace_level";
    case JumpQuality::appLevel:
      return "app_level";
    case JumpQuality::unavailable:
      return "unavailable";
  }
  return "unavailable";
}

const char* rawValue(ResolvedJumpAction action) {
  switch (action) {
    case ResolvedJumpAction::openApp:
      return "open_app";
    case ResolvedJumpAction::openCLI:
      return "open_cli";
    case ResolvedJumpAction::openCmux:
      return "open_cmux";
    case ResolvedJumpAction::focusTerminalWindow:
      return "focus_terminal_window";
    case ResolvedJumpAction::openTerminal:
      return "open_terminal";
    case ResolvedJumpAction::openURL:
      return "open_url";
    case ResolvedJumpAction::openFile:
      return "open_file";
    case ResolvedJumpAction::configure:
      return "configure";
  }
  return "configure";
}

}  // namespace glimmet
