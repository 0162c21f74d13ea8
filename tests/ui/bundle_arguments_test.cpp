// What the app bundle runs for the arguments macOS starts it with.

#include "ui/bundle_arguments.hpp"

#include <gtest/gtest.h>

namespace glimmet {
namespace {

using Arguments = std::vector<std::string>;

TEST(BundleCommandLine, OpenedWithoutArgumentsTheAppRunsTheOverlay) {
  EXPECT_EQ(bundleCommandLine({}), Arguments{"run"});
  // The process serial number older systems pass is no command.
  EXPECT_EQ(bundleCommandLine({"-psn_0_1234567"}), Arguments{"run"});
}

TEST(BundleCommandLine, ACommandFromAShellRunsAsGiven) {
  EXPECT_EQ(bundleCommandLine({"inbox", "--json"}), (Arguments{"inbox", "--json"}));
  EXPECT_EQ(bundleCommandLine({"-psn_0_42", "run", "--console"}), (Arguments{"run", "--console"}));
  // Only the serial number's own prefix is dropped, in any position, and nothing else.
  EXPECT_EQ(bundleCommandLine({"act", "x-psn_1", "-psn_0_1"}), (Arguments{"act", "x-psn_1"}));
}

}  // namespace
}  // namespace glimmet
