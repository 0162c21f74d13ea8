#include "jump/jump_text.hpp"

#include <gtest/gtest.h>

#include <set>

namespace glimmet {
namespace {

PathExists installed(std::set<std::string> paths) {
  return [paths = std::move(paths)](const std::string& path) { return paths.count(path) > 0; };
}

TEST(JumpText, QuotingEscapingAndTruncation) {
  EXPECT_EQ(osascriptEscape(R"(say "hi" \ bye)"), R"(say \"hi\" \\ bye)");
  EXPECT_EQ(shellQuote("it's"), R"('it'\''s')");
  EXPECT_EQ(shellQuote(""), "''");
  EXPECT_EQ(truncatedDiagnostic("  short \n", 10), "short");
  EXPECT_EQ(truncatedDiagnostic("0123456789", 10), "0123456789");
  EXPECT_EQ(truncatedDiagnostic("0123456789A", 10), "0123456...");
  // Characters, not bytes: a cut never splits a letter.
  EXPECT_EQ(truncatedDiagnostic("ääääääääää+", 10), "äääääää...");
  EXPECT_EQ(itermIDLiteral("42"), "42");
  EXPECT_EQ(itermIDLiteral("-7"), "-7");
  EXPECT_EQ(itermIDLiteral("42a"), "\"42a\"");
  EXPECT_EQ(itermIDLiteral("a\"b"), R"("a\"b")");
  EXPECT_EQ(itermIDLiteral(""), "\"\"");
}

TEST(JumpText, CmuxScriptsMatchByteForByte) {
  const std::string tool = "/Applications/cmux.app/Contents/Resources/bin/cmux";
  const std::vector<std::string> args = {"select-workspace", "--workspace", "abc-123"};
  EXPECT_EQ(cmuxShellDetachedScript(tool, args),
            "nohup '/Applications/cmux.app/Contents/Resources/bin/cmux' 'select-workspace' "
            "'--workspace' 'abc-123' >/dev/null 2>&1 </dev/null & wait $!; exit $?");
  EXPECT_EQ(cmuxOsascriptShellScript("/x/cmux", {"it's"}),
            "do shell script \"nohup '/x/cmux' 'it'\\\\''s' >/dev/null 2>&1 </dev/null & wait "
            "$!; exit $?\"");
}

TEST(JumpText, TerminalNamesAndOpenArguments) {
  const auto none = installed({});
  const std::vector<std::pair<std::string, std::string>> names = {
      {"iTerm2", "iTerm"},
      {"com.googlecode.iterm2", "iTerm"},
      {"WezTerm", "WezTerm"},
      {"WarpTerminal", "Warp"},  // "warp" comes before "terminal"
      {"ghostty", "Ghostty"},
      {"Alacritty", "Alacritty"},
      {"xterm-kitty", "kitty"},
      {"Tabby", "Tabby"},
      {"Hyper", "Hyper"},
      {"com.todesktop.230313mzl4w4u92", "Cursor"},
      {"vscode", "Visual Studio Code"},
      {"Apple_Terminal", "Terminal"},
      {"Foot.app", "Foot"},
  };
  for (const auto& [terminal, application] : names) {
    EXPECT_EQ(terminalApplicationName(terminal, none), application) << terminal;
  }
  EXPECT_EQ(terminalApplicationName("trae", installed({"/Applications/Trae CN.app"})), "Trae CN");
  EXPECT_EQ(terminalApplicationName(
                "trae", installed({"/Applications/Trae.app", "/Applications/Trae CN.app"})),
            "Trae");
  EXPECT_EQ(
      terminalApplicationName("cn.trae.solo.app", installed({"/Applications/TRAE SOLO CN.app"})),
      "TRAE SOLO CN");
  EXPECT_EQ(terminalApplicationName("Trae SOLO", installed({"/Applications/Trae SOLO.app"})),
            "Trae SOLO");

  using Args = std::vector<std::string>;
  EXPECT_EQ(terminalOpenArguments("/w", "com.github.wez.wezterm", none),
            (Args{"-b", "com.github.wez.wezterm", "/w"}));
  EXPECT_EQ(terminalOpenArguments("/w", "iTerm2", none), (Args{"-a", "iTerm", "/w"}));
  // Two parts, a space or a slash: not a bundle id.
  EXPECT_EQ(terminalOpenArguments("/w", "dev.warp", none), (Args{"-a", "Warp", "/w"}));
  EXPECT_EQ(terminalOpenArguments("/w", "a..b", none), (Args{"-a", "a..b", "/w"}));
  EXPECT_EQ(terminalOpenArguments("/w", "My Term.app", none), (Args{"-a", "My Term", "/w"}));
  EXPECT_EQ(terminalOpenArguments("/w", "", none), (Args{"-a", "", "/w"}));
}

TEST(JumpText, SelectionScriptsPickTheMostExactId) {
  const auto session = itermSelectionScript("1", "/dev/ttys001", "w0t1p0:AB-CD");
  ASSERT_TRUE(session);
  EXPECT_NE(session->find("if id of aSession is \"AB-CD\" then"), std::string::npos);
  EXPECT_NE(session->find("error \"session not found\""), std::string::npos);
  const auto tty = itermSelectionScript("1", "/dev/ttys001", std::nullopt);
  ASSERT_TRUE(tty);
  EXPECT_NE(tty->find("try\nif tty of aSession is \"/dev/ttys001\" then"), std::string::npos);
  EXPECT_NE(tty->find("error \"iTerm2 tab/session not found\""), std::string::npos);
  const auto window = itermSelectionScript("7", " ", std::nullopt);
  ASSERT_TRUE(window);
  EXPECT_NE(window->find("if id of aWindow is 7 then"), std::string::npos);
  EXPECT_FALSE(itermSelectionScript(std::nullopt, "", std::nullopt));
  for (const auto& script : {*session, *tty, *window}) {
    EXPECT_NE(script.find("activate\n"), std::string::npos);
  }

  const auto tab = terminalSelectionScript("3", "/dev/ttys\"002");
  ASSERT_TRUE(tab);
  EXPECT_NE(tab->find("if tty of aTab is \"/dev/ttys\\\"002\" then\n"
                      "set selected tab of aWindow to aTab\n"
                      "set index of aWindow to 1\n"
                      "activate\n"),
            std::string::npos);
  EXPECT_NE(tab->find("error \"terminal tab not found\""), std::string::npos);
  EXPECT_EQ(terminalSelectionScript("3", std::nullopt),
            "tell application \"Terminal\"\nset index of window id 3 to 1\nactivate\nend tell");
  EXPECT_FALSE(terminalSelectionScript(std::nullopt, std::nullopt));
}

TEST(JumpText, LinuxTerminalCommands) {
  EXPECT_EQ(linuxTerminalCommand("GNOME Terminal"), "gnome-terminal");
  EXPECT_EQ(linuxTerminalCommand("xterm-kitty"), "kitty");
  EXPECT_EQ(linuxTerminalCommand("/usr/bin/xterm"), "xterm");
  EXPECT_EQ(linuxTerminalCommand("WezTerm"), "wezterm");
  EXPECT_FALSE(linuxTerminalCommand("Warp"));
  using Args = std::vector<std::string>;
  EXPECT_EQ(linuxTerminalArguments("gnome-terminal", "/b/g", "/w"),
            (Args{"/b/g", "--working-directory=/w"}));
  EXPECT_EQ(linuxTerminalArguments("konsole", "/b/k", "/w"), (Args{"/b/k", "--workdir", "/w"}));
  EXPECT_EQ(linuxTerminalArguments("kitty", "/b/k", "/w"), (Args{"/b/k", "--directory", "/w"}));
  EXPECT_EQ(linuxTerminalArguments("wezterm", "/b/w", "/w"),
            (Args{"/b/w", "start", "--cwd", "/w"}));
  EXPECT_EQ(linuxTerminalArguments("alacritty", "/b/a", "/w"),
            (Args{"/b/a", "--working-directory", "/w"}));
  EXPECT_EQ(linuxTerminalArguments("xterm", "/b/x", "/w"), (Args{"/b/x"}));
}

}  // namespace
}  // namespace glimmet
