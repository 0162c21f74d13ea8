// The `glimmet` program's command line, run as a child process.

#include <gtest/gtest.h>

#include <string>

#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

class CommandLineTest : public ::testing::Test {
 protected:
  struct Result {
    int exitCode;
    std::string output;
  };
  Result run(std::vector<std::string> args) const {
    args.insert(args.begin(), GLIMMET_BINARY);
    auto child = runToCompletion(args, isolatedEnvironment(dir_.path(), dir_.file("events.jsonl")));
    return {child.exitCode(), child.output()};
  }

  TempDir dir_;
};

TEST_F(CommandLineTest, HelpListsTheCommandsAndMistakesExitWithTwo) {
  for (const char* flag : {"--help", "-h", "help"}) {
    const auto help = run({flag});
    EXPECT_EQ(help.exitCode, 0) << flag;
    EXPECT_NE(help.output.find("\n  run "), std::string::npos) << help.output;
    EXPECT_NE(help.output.find("\n  inbox "), std::string::npos) << help.output;
  }

  const auto unknown = run({"frobnicate"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.output.find("unknown command frobnicate"), std::string::npos) << unknown.output;
  EXPECT_NE(unknown.output.find("Commands:"), std::string::npos) << unknown.output;

  EXPECT_EQ(run({}).exitCode, 2) << "no command is a usage error";
  EXPECT_EQ(run({"inbox", "--xml"}).exitCode, 2);
  EXPECT_EQ(run({"run", "--forever"}).exitCode, 2);

  // `run --help` explains itself and returns instead of starting to watch.
  const auto runHelp = run({"run", "--help"});
  EXPECT_EQ(runHelp.exitCode, 0);
  EXPECT_NE(runHelp.output.find("Usage: glimmet run"), std::string::npos) << runHelp.output;
  for (const char* command :
       {"allow N", "always N", "deny N", "choose N OPTION-ID", "reply N TEXT", "list"}) {
    EXPECT_NE(runHelp.output.find(command), std::string::npos) << command;
  }
}

TEST_F(CommandLineTest, InboxOfAMissingEventFileIsEmpty) {
  const auto text = run({"inbox"});
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_NE(text.output.find("0 messages"), std::string::npos) << text.output;

  const auto json = run({"inbox", "--json"});
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_EQ(json.output, "[]\n");
}

}  // namespace
}  // namespace glimmet::testing
