// The console's commands on inbox messages: their m-numbers stay apart from the [#N] numbers
// of waiting requests, and each command becomes one typed command for the core.

#include "ui/console_messages.hpp"

#include <gtest/gtest.h>

#include "ui/console_inbox.hpp"

namespace glimmet {
namespace {

IslandMessage messageWithID(const std::string& id, const std::string& title) {
  IslandMessage message;
  message.event.id = id;
  message.tool = "Codex";
  message.badge = "Done";
  message.time = "now";
  message.title = title;
  return message;
}

TEST(ConsoleMessages, NumbersFollowThePrintedInboxAndCommandsNameTheMessage) {
  std::vector<AppCommand> sent;
  CommandResult reply{true, "Authorized request"};
  ConsoleMessages console([&](AppCommand command, CommandDone done) {
    sent.push_back(std::move(command));
    done(reply);
  });
  const std::vector<IslandMessage> inbox = {messageWithID("e-new", "Newest"),
                                            messageWithID("e-old", "Oldest")};
  console.number(inbox);
  const std::string block = formatInboxBlock(inbox, 0, true);
  EXPECT_NE(block.find("[m1] Codex · Done · now\n  Newest\n[m2] Codex · Done · now\n  Oldest\n"),
            std::string::npos)
      << block;
  EXPECT_EQ(formatInboxBlock(inbox, 0).find("[m1]"), std::string::npos)
      << "glimmet inbox prints no numbers";

  // "choose" with a bare number is a request's; with mN it is a message's.
  EXPECT_FALSE(console.handles("choose 1 yes"));
  EXPECT_FALSE(console.handles("allow 1"));
  EXPECT_TRUE(console.handles("choose m1 yes"));
  EXPECT_TRUE(console.handles("  act m2 authorize"));
  EXPECT_TRUE(console.handles("jump m1"));

  EXPECT_EQ(console.execute("act m2 authorize"), "[Glimmet] m2: Authorized request\n");
  ASSERT_EQ(sent.size(), 1u);
  const auto& action = std::get<Command::PerformMessageAction>(sent.back());
  EXPECT_EQ(action.messageID, "e-old");
  EXPECT_EQ(action.role, "authorize");

  reply = {true, "Response sent"};
  EXPECT_EQ(console.execute("choose m1 lite  keep  the spacing  "),
            "[Glimmet] m1: Response sent\n");
  const auto& choice = std::get<Command::ChooseMessageOption>(sent.back());
  EXPECT_EQ(choice.messageID, "e-new");
  EXPECT_EQ(choice.optionID, "lite");
  EXPECT_EQ(choice.note, "keep  the spacing");
  console.execute("choose m1 pg");
  EXPECT_FALSE(std::get<Command::ChooseMessageOption>(sent.back()).note);

  reply = {false, "No jump target is available"};
  EXPECT_EQ(console.execute("jump m1"), "[Glimmet] m1: failed: No jump target is available\n");
  EXPECT_EQ(std::get<Command::PerformMessageAction>(sent.back()).role, "jump");

  reply = {true, "Input sent"};
  console.execute("act m2 send_input yes,  please");
  EXPECT_EQ(std::get<Command::SendMessageInput>(sent.back()).text, "yes,  please");

  // Mistakes never reach the core.
  const size_t before = sent.size();
  EXPECT_EQ(console.execute("act m3 authorize"), "[Glimmet] no message m3\n");
  EXPECT_EQ(console.execute("act m0 authorize"), "[Glimmet] no message m0\n");
  EXPECT_EQ(console.execute("act m1"), "[Glimmet] usage: act mN ROLE\n");
  EXPECT_EQ(console.execute("act m1 send_input"), "[Glimmet] usage: act mN send_input TEXT...\n");
  EXPECT_EQ(console.execute("choose m1"), "[Glimmet] usage: choose mN OPTION-ID [NOTE...]\n");
  EXPECT_EQ(console.execute("jump"), "[Glimmet] jump needs a message number (mN)\n");
  EXPECT_EQ(sent.size(), before);

  // A newer inbox renumbers: m1 is now its first message.
  console.number({messageWithID("e-newer", "Newer")});
  console.execute("act m1 mark_read");
  EXPECT_EQ(std::get<Command::PerformMessageAction>(sent.back()).messageID, "e-newer");
  EXPECT_EQ(console.execute("act m2 mark_read"), "[Glimmet] no message m2\n");
}

}  // namespace
}  // namespace glimmet
