#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "base/time.hpp"
#include "platform/main_loop.hpp"
#include "platform/user_defaults.hpp"
#include "updates/update_about.hpp"
#include "updates/update_client.hpp"
#include "updates/update_schedule.hpp"

namespace glimmet {

// The one update check a launch makes by itself: 30 s after launch, or once the 12 hours since
// the last attempt are over. The attempt is recorded before the fetch, so a feed that is down is
// not asked on every launch; each version is announced once. The fetch runs on a thread of its
// own; the result is applied on the loop.
class AutomaticUpdateCheck {
 public:
  struct Options {
    UpdateClient client;
    std::string currentVersion;
    UserDefaults* defaults = nullptr;  // where the attempt and the announced version are kept
    Seconds initialDelay = kAutomaticUpdateInitialDelay;
    std::function<Timestamp()> clock = systemNow;
    // Called on the loop with "Glimmet v<version> available" when a reminder is due.
    std::function<void(const std::string& text)> remind;
  };

  AutomaticUpdateCheck(MainLoop& loop, Options options);
  ~AutomaticUpdateCheck();
  AutomaticUpdateCheck(const AutomaticUpdateCheck&) = delete;
  AutomaticUpdateCheck& operator=(const AutomaticUpdateCheck&) = delete;

  // Arms the one-shot timer; loop thread.
  void schedule();
  // What the last automatic result made of the About tab's update state.
  const AboutUpdateController& about() const { return about_; }
  bool inFlight() const { return inFlight_; }

 private:
  void runIfEligible();
  void apply(const Result<UpgradeCheckResponse>& result);
  std::optional<Timestamp> lastAttempt() const;

  MainLoop& loop_;
  Options options_;
  AboutUpdateController about_;
  WorkItem timer_;
  bool inFlight_ = false;
  std::thread worker_;
  // Cleared by the destructor, so that a result arriving after it is dropped.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace glimmet
