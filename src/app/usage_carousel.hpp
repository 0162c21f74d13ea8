#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_snapshot.hpp"
#include "base/time.hpp"
#include "integrations/tool_health.hpp"
#include "store/event_store.hpp"

namespace glimmet {

// One entry per brand of `brands` that has a snapshot: the best one among all the brand's tools,
// named after the brand. A brand without any snapshot is left out.
std::vector<UsageCarouselEntry> usageCarouselEntries(const std::vector<std::string>& brands,
                                                     EventStore& store);

// What the usage carousel is judged on besides the store: the tools' health, which tools the user
// turned off, whether the wrapper bridge is in place.
struct UsageCarouselInputs {
  std::vector<ToolHealth> toolHealth;
  std::vector<std::string> disabledToolIDs;
  bool wrapperBridgeReady = false;
};

// The carousel of the running application. Tool health reads many files and runs a search of
// PATH, so it is looked at again only every 15 s; eligibility itself follows the store at once
// (the store caches its usage views per revision).
class UsageCarousel {
 public:
  static constexpr double kHealthRefreshSeconds = 15.0;
  using InputsSource = std::function<UsageCarouselInputs()>;
  // Starts a read of the inputs and hands them to `deliver`, later, on the main loop.
  using InputsRequest = std::function<void(std::function<void(UsageCarouselInputs)> deliver)>;

  explicit UsageCarousel(InputsSource inputs) : inputs_(std::move(inputs)) {}

  // From now on the inputs are read through `request`, away from the main loop: entries() keeps
  // to the inputs read last while a newer read is under way, and `arrived` runs once it is in.
  void readAsynchronously(InputsRequest request, std::function<void()> arrived);

  std::vector<UsageCarouselEntry> entries(EventStore& store, Timestamp now);
  // The next entries() reads the health again (after an install or a settings change).
  void invalidate();

 private:
  void requestInputs();

  InputsSource inputs_;
  InputsRequest request_;
  std::function<void()> arrived_;
  bool requestInFlight_ = false;
  bool inFlightRequestIsStale_ = false;
  UsageCarouselInputs cached_;
  std::optional<Timestamp> checkedAt_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace glimmet
