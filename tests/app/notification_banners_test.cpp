// The banner service over a real core and a recording notification service whose answers the
// test releases when it chooses, as a slow server would.

#include "app/notification_banners.hpp"

#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::isolatedHome;

using glimmet::testing::TempDir;

// Withdrawals go to a list the test owns, so that they stay readable after the service is gone.
class RecordingService final : public DesktopNotifications {
 public:
  explicit RecordingService(std::vector<DesktopNotificationID>& withdrawn) : withdrawn(withdrawn) {}
  struct Post {
    DesktopNotification notification;
    Posted posted;
  };
  bool available() const override { return true; }
  bool supportsActions() const override { return true; }
  void post(const DesktopNotification& notification, Posted posted) override {
    posts.push_back({notification, std::move(posted)});
  }
  void withdraw(DesktopNotificationID id) override { withdrawn.push_back(id); }

  std::vector<Post> posts;
  std::vector<DesktopNotificationID>& withdrawn;
};

PendingAction request(const std::string& id, PendingActionKind kind) {
  PendingAction action;
  action.requestID = id;
  action.agent = "claude_code";
  action.sessionID = "s-" + id;
  action.agentPID = static_cast<int32_t>(::getpid());
  action.kind = kind;
  action.createdAt = systemNow();
  action.timeoutSeconds = 600;
  return action;
}

class NotificationBannersTest : public ::testing::Test {
 protected:
  NotificationBannersTest()
      : core(isolatedHome(dir), false, [this](const std::string& line) { log += line + "\n"; }) {
    core.start();
    banners = std::make_unique<NotificationBanners>(
        core, [this](const std::string& line) { log += line + "\n"; },
        [this](DesktopNotificationEvents given) {
          events = std::move(given);
          auto recording = std::make_unique<RecordingService>(withdrawn);
          service = recording.get();
          return recording;
        });
    banners->start();
  }
  ~NotificationBannersTest() override {
    banners.reset();
    core.shutDown();
  }

  void addRequest(PendingAction action) {
    const std::string id = action.requestID;
    core.pendingActions().insert(
        std::move(action), [this, id](const HookReply& reply) { replies[id].push_back(reply); });
  }

  TempDir dir;
  std::string log;
  Core core;
  std::unique_ptr<NotificationBanners> banners;
  RecordingService* service = nullptr;
  DesktopNotificationEvents events;
  std::map<std::string, std::vector<HookReply>> replies;
  std::vector<DesktopNotificationID> withdrawn;
};

TEST_F(NotificationBannersTest, EachRequestGetsOneNotificationWithItsCategoryButtons) {
  auto choice = request("req-c", PendingActionKind::waitingChoice);
  choice.payload.prompt = "Pick a branch";
  addRequest(choice);
  addRequest(request("req-i", PendingActionKind::waitingInput));
  ASSERT_EQ(service->posts.size(), 2u);
  const auto& first = service->posts[0].notification;
  EXPECT_EQ(first.title, "Choice needed");
  EXPECT_EQ(first.body, "Pick a branch");
  EXPECT_EQ(first.actions, (std::vector<std::pair<std::string, std::string>>{
                               {"GMChoice.more", "More\u2026"}, {"GMAction.jump", "Jump"}}));
  const auto& second = service->posts[1].notification;
  EXPECT_EQ(second.title, "Input needed");
  EXPECT_EQ(second.body, "Agent is waiting for your text");
  EXPECT_EQ(second.actions, (std::vector<std::pair<std::string, std::string>>{
                                {"GMTextInput.open", "Open input panel"},
                                {"GMTextInput.deny", "Deny"},
                                {"GMAction.jump", "Jump"}}));
  // Later snapshots (a third request) post nothing again for the first two.
  addRequest(request("req-p", PendingActionKind::permissionRequest));
  ASSERT_EQ(service->posts.size(), 3u);
  EXPECT_EQ(service->posts[2].notification.body, "Agent requested permission");
}

TEST_F(NotificationBannersTest, AButtonDecidesOnceAndAnAnsweredRequestIsWithdrawn) {
  addRequest(request("req-i", PendingActionKind::waitingInput));
  ASSERT_EQ(service->posts.size(), 1u);
  service->posts[0].posted(DesktopNotificationID{8});

  events.actionInvoked(8, "GMTextInput.deny");
  ASSERT_EQ(replies["req-i"].size(), 1u);
  EXPECT_EQ(replies["req-i"][0].decision, "deny");
  EXPECT_EQ(withdrawn, (std::vector<DesktopNotificationID>{8}));

  // The same button again, as a server that was slow to hide it may send it.
  events.actionInvoked(8, "GMTextInput.deny");
  EXPECT_EQ(replies["req-i"].size(), 1u);
  EXPECT_NE(log.find("[Glimmet] notification action GMTextInput.deny ignored"), std::string::npos)
      << log;
  EXPECT_EQ(withdrawn.size(), 1u);
}

TEST_F(NotificationBannersTest, ARequestEndedBeforeTheServerAnsweredIsWithdrawnOnItsAnswer) {
  addRequest(request("req-t", PendingActionKind::permissionRequest));
  ASSERT_EQ(service->posts.size(), 1u);
  core.pendingActions().fail("req-t", PendingActionStatus::timedOut);
  EXPECT_TRUE(withdrawn.empty());
  service->posts[0].posted(DesktopNotificationID{7});
  EXPECT_EQ(withdrawn, (std::vector<DesktopNotificationID>{7}));
  // A button on it now is a no-op: nothing is sent to the bridge a second time.
  events.actionInvoked(7, "GMPermissionRequest.approve_once");
  EXPECT_EQ(replies["req-t"].size(), 1u);
  EXPECT_EQ(replies["req-t"][0].decision, "timedOut");
}

TEST_F(NotificationBannersTest, ANewServerGetsTheOpenRequestsAgainButNotDismissedOnes) {
  addRequest(request("req-a", PendingActionKind::permissionRequest));
  addRequest(request("req-b", PendingActionKind::permissionRequest));
  addRequest(request("req-c", PendingActionKind::waitingInput));
  ASSERT_EQ(service->posts.size(), 3u);
  service->posts[0].posted(DesktopNotificationID{1});
  service->posts[1].posted(DesktopNotificationID{2});
  service->posts[2].posted(std::nullopt);  // no server took c
  events.closed(2);                        // the user dismissed b

  events.serverReady();
  ASSERT_EQ(service->posts.size(), 5u);
  EXPECT_EQ(service->posts[3].notification.title, "Approval needed");
  EXPECT_EQ(service->posts[4].notification.title, "Input needed");
  service->posts[3].posted(DesktopNotificationID{1});
  // The answer closes the new notification, once.
  ASSERT_TRUE(core.performNotificationAction("GMPermissionRequest.approve_once", "req-a",
                                             "permission_request"));
  EXPECT_EQ(withdrawn, (std::vector<DesktopNotificationID>{1}));
  // A dismissed request stays open for the panel and closes nothing when answered.
  ASSERT_TRUE(
      core.performNotificationAction("GMPermissionRequest.deny", "req-b", "permission_request"));
  EXPECT_EQ(withdrawn.size(), 1u);
}

TEST_F(NotificationBannersTest, QuittingWithdrawsWhatIsStillShown) {
  addRequest(request("req-q", PendingActionKind::waitingChoice));
  addRequest(request("req-r", PendingActionKind::waitingChoice));
  service->posts[0].posted(DesktopNotificationID{5});
  banners.reset();
  // Only the one the server took; the other never got an id.
  EXPECT_EQ(withdrawn, (std::vector<DesktopNotificationID>{5}));
}

}  // namespace
}  // namespace glimmet
