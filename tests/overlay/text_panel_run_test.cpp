// The text panel on a real X server: the real glimmet binary on a private Xvfb, a waiting input
// request sent over the real socket, the panel opened from the overlay's Reply button and typed
// into with xdotool, as a user would.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "base/json_values.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"
#include "support/x_window_observer.hpp"
#include "support/xvfb.hpp"

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::onPath;
using testing::TempDir;
using testing::Xvfb;
using Clock = std::chrono::steady_clock;

using Shown = testing::ShownWindow;

using Observer = testing::XWindowObserver;

bool isTextPanel(const Shown& window) {
  return window.state.is_object() && window.state.value("kind", "") == "text_panel";
}

std::optional<std::array<int, 2>> centreOf(const Shown& window, const std::string& role) {
  if (!window.state.is_object() || !window.state.contains("targets")) return std::nullopt;
  for (const auto& target : window.state["targets"]) {
    if (target.value("role", "") != role) continue;
    const auto& r = target["rect"];
    return std::array{window.x + static_cast<int>(r[0].get<double>() + r[2].get<double>() / 2),
                      window.y + static_cast<int>(r[1].get<double>() + r[3].get<double>() / 2)};
  }
  return std::nullopt;
}

class TextPanelRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Xvfb::available()) GTEST_SKIP() << "no Xvfb on this machine: the panel is not tested";
    if (!onPath("xdotool")) GTEST_SKIP() << "no xdotool on this machine";
    server_ = std::make_unique<Xvfb>();
    observer_ = std::make_unique<Observer>(server_->display());
    ASSERT_TRUE(observer_->connected());
    // The accented letters typed below get keys of their own (é, ö; keysyms 0xe9 and 0xf6).
    observer_->addKeysyms({0xe9, 0xf6});
    // The first run's question would take the keyboard from the panel: it was answered before.
    std::filesystem::create_directories(home_.path() + "/.config/Glimmet");
    testing::writeText(home_.path() + "/.config/Glimmet/defaults.json",
                       R"({"didRequestCodexPetsDirectoryAuthorization": true})");
    glimmet_ = ChildProcess::spawn(
        {GLIMMET_BINARY, "run"},
        {"HOME=" + home_.path(), "PATH=" + std::string(std::getenv("PATH")),
         "DISPLAY=" + server_->display(), "XDG_DATA_HOME=" + home_.path() + "/.local/share"},
        {}, /*keepInputOpen=*/true);
    ASSERT_TRUE(glimmet_.waitForOutput("[Glimmet] socket server listening at", 30))
        << glimmet_.output();
  }

  void TearDown() override {
    if (!server_) return;
    glimmet_.signal(SIGTERM);
    EXPECT_TRUE(glimmet_.waitExit(30)) << glimmet_.output();
  }

  // A waiting input request from a hook client that waits up to a minute for its reply.
  ChildProcess ask(const std::string& id, const std::string& prompt) {
    const Json request{{"v", 1},
                       {"type", "hook.request"},
                       {"request_id", id},
                       {"agent", "claude_code"},
                       {"session_id", "s-" + id},
                       {"agent_pid", static_cast<int>(::getpid())},
                       {"kind", "waiting_input"},
                       {"timeout_seconds", 300},
                       {"payload", {{"prompt", prompt}, {"cwd", "/tmp/project"}}}};
    return ChildProcess::spawn({"python3", testing::hookClientScript(),
                                home_.path() + "/.glimmet/glimmet.sock", "--timeout", "60"},
                               {}, request.dump() + "\n");
  }

  // Opens the overlay's panel and clicks the request's Reply button; the text panel then.
  std::optional<Shown> openFromReply() {
    observer_->moveTo(960, 16);
    auto panel = observer_->find(
        [](const Shown& w) { return !isTextPanel(w) && centreOf(w, "send_input").has_value(); },
        10);
    if (!panel) return std::nullopt;
    const auto reply = *centreOf(*panel, "send_input");
    observer_->click(reply[0], reply[1]);
    return observer_->find(isTextPanel, 5);
  }

  int xdotool(const std::vector<std::string>& args) {
    // xdotool reads its text in the locale it runs in: without a UTF-8 one it types no accent.
    std::vector<std::string> argv = {"env", "LC_ALL=C.UTF-8", "xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return server_->run(argv);
  }

  static Json replyOf(ChildProcess& client) {
    EXPECT_TRUE(client.waitExit(30));
    const auto lines = testing::splitLines(client.output());
    EXPECT_EQ(lines.size(), 2u) << client.output();
    if (lines.size() != 2 || lines[1] != "<DONE>") return {};
    return Json::parse(lines[0]);
  }

  TempDir home_;
  std::unique_ptr<Xvfb> server_;
  std::unique_ptr<Observer> observer_;
  ChildProcess glimmet_;
};

TEST_F(TextPanelRunTest, TypedAnswerReachesTheAgentExactlyAndEscapeLeavesItWaiting) {
  auto client = ask("r-typed", "Which branch?");
  auto panel = openFromReply();
  ASSERT_TRUE(panel) << glimmet_.output();
  // A dialog the window manager would frame, named after the prompt, 480 x 140.
  EXPECT_FALSE(panel->overrideRedirect);
  EXPECT_EQ((std::array{panel->width, panel->height}), (std::array{480, 140}));
  EXPECT_EQ(panel->state["title"], "Which branch?");
  EXPECT_EQ(observer_->property(panel->id, "_NET_WM_NAME"), "Which branch?");
  EXPECT_EQ(observer_->property(panel->id, "WM_CLASS"), std::string("glimmet\0glimmet\0", 16));
  EXPECT_EQ(observer_->property(panel->id, "_NET_WM_WINDOW_TYPE"), "_NET_WM_WINDOW_TYPE_DIALOG");

  // Escape closes the panel and answers nothing.
  ASSERT_EQ(xdotool({"type", "--delay", "5", "draft"}), 0);
  ASSERT_TRUE(observer_->find(
      [](const Shown& w) { return isTextPanel(w) && w.state["text"] == "draft"; }, 5));
  ASSERT_EQ(xdotool({"key", "Escape"}), 0);
  EXPECT_TRUE(observer_->gone(isTextPanel, 5)) << glimmet_.output();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(client.waitExit(0)) << client.output();

  // Opened again: a fresh editor; composed and non-Latin text arrives whole.
  panel = openFromReply();
  ASSERT_TRUE(panel) << glimmet_.output();
  EXPECT_EQ(panel->state["text"], "");
  ASSERT_EQ(xdotool({"type", "--delay", "20", "h\xc3\xa9llo w\xc3\xb6rld"}), 0);
  ASSERT_TRUE(observer_->find(
      [](const Shown& w) {
        return isTextPanel(w) && w.state["text"] == "h\xc3\xa9llo w\xc3\xb6rld";
      },
      5))
      << (observer_->find(isTextPanel, 0) ? observer_->find(isTextPanel, 0)->state.dump() : "");
  ASSERT_EQ(xdotool({"key", "Return"}), 0);
  const Json reply = replyOf(client);
  EXPECT_EQ(reply.value("decision", ""), "input") << reply.dump();
  EXPECT_EQ(reply.value("request_id", ""), "r-typed");
  const Json payload = Json::parse(reply.value("raw_agent_payload", "{}"));
  EXPECT_EQ(payload.value("reason", ""), "h\xc3\xa9llo w\xc3\xb6rld") << payload.dump();
  EXPECT_TRUE(observer_->gone(isTextPanel, 5));
}

TEST_F(TextPanelRunTest, TenThousandTypedBytesAreCutBeforeTheCharacterThatCrosses8192) {
  auto client = ask("r-long", "");
  auto panel = openFromReply();
  ASSERT_TRUE(panel) << glimmet_.output();
  EXPECT_EQ(panel->state["title"], "Agent needs your input");
  // The two bytes of "é" would be bytes 8,192 and 8,193: the answer ends before it.
  const std::string text = std::string(8191, 'x') + "\xc3\xa9" + std::string(1807, 'x');
  ASSERT_EQ(text.size(), 10000u);
  TempDir typed;
  testing::writeText(typed.file("before.txt"), std::string(8191, 'x'));
  testing::writeText(typed.file("after.txt"), std::string(1807, 'x'));
  const auto caretAt = [this](int caret, double seconds = 30) {
    return observer_->find(
        [caret](const Shown& w) { return isTextPanel(w) && w.state.value("caret", 0) == caret; },
        seconds);
  };
  // xdotool types a character the keyboard lacks by remapping a key for the moment; a client
  // still reading a backlog of keys looks the key up after the mapping is back. So "é" goes
  // once the panel has caught up, and on a busy machine the remapped key can still be read
  // after the mapping is gone: then it is typed once more (the caret shows it was lost).
  ASSERT_EQ(xdotool({"type", "--delay", "0", "--file", typed.file("before.txt")}), 0);
  ASSERT_TRUE(caretAt(8191));
  ASSERT_EQ(xdotool({"type", "--delay", "50", "\xc3\xa9"}), 0);
  if (!caretAt(8193, 5) && caretAt(8191, 0)) {
    ASSERT_EQ(xdotool({"type", "--delay", "50", "\xc3\xa9"}), 0);
  }
  ASSERT_TRUE(caretAt(8193));
  ASSERT_EQ(xdotool({"type", "--delay", "0", "--file", typed.file("after.txt")}), 0);
  ASSERT_TRUE(caretAt(10000)) << glimmet_.output() << " caret "
                              << (observer_->find(isTextPanel, 0)
                                      ? observer_->find(isTextPanel, 0)->state["caret"].dump()
                                      : "none");
  ASSERT_EQ(xdotool({"key", "Return"}), 0);
  const Json reply = replyOf(client);
  const Json payload = Json::parse(reply.value("raw_agent_payload", "{}"));
  EXPECT_EQ(payload.value("reason", ""), std::string(8191, 'x'));
}

}  // namespace
}  // namespace glimmet
