#include "app/automatic_update_check.hpp"

#include "base/text.hpp"
#include "updates/update_schedule.hpp"

namespace glimmet {

AutomaticUpdateCheck::AutomaticUpdateCheck(MainLoop& loop, Options options)
    : loop_(loop), options_(std::move(options)), about_(options_.currentVersion) {}

AutomaticUpdateCheck::~AutomaticUpdateCheck() {
  *alive_ = false;
  timer_.cancel();
  // The fetch is bounded by the client's own time-outs; waiting keeps it from outliving the
  // objects it reads.
  if (worker_.joinable()) worker_.join();
}

std::optional<Timestamp> AutomaticUpdateCheck::lastAttempt() const {
  if (!options_.defaults) return std::nullopt;
  const auto text = options_.defaults->stringValue(kLastAutoUpdateCheckAtKey);
  if (!text) return std::nullopt;
  if (auto time = parseInternetDateTime(*text, true)) return time;
  return parseInternetDateTime(*text, false);
}

void AutomaticUpdateCheck::schedule() {
  const Seconds delay = nextAutomaticUpdateDelay(options_.clock(), lastAttempt(),
                                                 options_.initialDelay, kAutomaticUpdateInterval);
  timer_ = loop_.schedule(delay, [this] { runIfEligible(); });
}

void AutomaticUpdateCheck::runIfEligible() {
  if (inFlight_) return;
  const Timestamp now = options_.clock();
  if (!shouldRunAutomaticUpdateCheck(now, lastAttempt(), kAutomaticUpdateInterval)) return;
  inFlight_ = true;
  if (options_.defaults) {
    (void)options_.defaults->setValue(kLastAutoUpdateCheckAtKey, formatIso8601(now));
  }
  if (worker_.joinable()) worker_.join();
  worker_ = std::thread(
      [this, alive = alive_, client = options_.client, version = options_.currentVersion] {
        auto result = client.check(version, version);
        loop_.post([this, alive, result = std::move(result)] {
          if (*alive) apply(result);
        });
      });
}

void AutomaticUpdateCheck::apply(const Result<UpgradeCheckResponse>& result) {
  inFlight_ = false;
  std::optional<std::string> announced;
  if (options_.defaults) announced = options_.defaults->stringValue(kLastNotifiedUpdateVersionKey);
  const bool available = result.ok() && result.value().updateAvailable;
  const std::string version = available ? trim(result.value().latest.version) : std::string();
  const bool remind = available && shouldNotifyAutomaticUpdate(version, announced);
  if (!about_.applyAutomaticResult(result, remind, currentUpdateTimestamp())) return;
  if (options_.defaults) (void)options_.defaults->setValue(kLastNotifiedUpdateVersionKey, version);
  if (options_.remind) options_.remind("Glimmet v" + version + " available");
}

}  // namespace glimmet
