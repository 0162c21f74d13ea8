#include "platform/login_item.hpp"

namespace glimmet {

std::string autostartDesktopEntry(const std::string& program) {
  // Inside a quoted argument of Exec, backslash, double quote, backtick and dollar are escaped
  // with a backslash, and a literal percent sign is doubled.
  std::string quoted = "\"";
  for (const char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Glimmet\n"
         "Comment=Watches your coding agents and asks for their approvals\n"
         "Exec=" +
         quoted +
         " run\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

}  // namespace glimmet
