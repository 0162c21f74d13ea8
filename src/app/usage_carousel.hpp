#pragma once

#include <functional>
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

  explicit UsageCarousel(InputsSource inputs) : inputs_(std::move(inputs)) {}

  std::vector<UsageCarouselEntry> entries(EventStore& store, Timestamp now);
  // The next entries() reads the health again (after an install or a settings change).
  void invalidate() { checkedAt_.reset(); }

 private:
  InputsSource inputs_;
  UsageCarouselInputs cached_;
  std::optional<Timestamp> checkedAt_;
};

}  // namespace glimmet
