#pragma once

#include <cstdio>
#include <memory>

#include "app/environment.hpp"
#include "app/paths.hpp"
#include "events/event_store.hpp"
#include "platform/main_loop.hpp"
#include "platform/user_defaults.hpp"

namespace glimmet {

// The running application on the console: the event store on the main loop, watching the event
// file, and the inbox printed whenever the store publishes.
class Application {
 public:
  static constexpr double kRuntimeTickSeconds = 2.0;

  Application(Environment environment, std::FILE* console);
  ~Application();

  // Loads the store, starts watching and runs until stop() or a termination signal.
  int run();
  void stop();

  MainLoop& loop() { return loop_; }
  EventStore& store() { return *store_; }
  const Paths& paths() const { return paths_; }

 private:
  void printInbox();

  Environment environment_;
  std::FILE* console_;
  bool isolated_;
  Paths paths_;
  MainLoop loop_;
  std::unique_ptr<UserDefaults> userDefaults_;
  std::unique_ptr<EventStore> store_;
  WorkItem runtimeTick_;
};

// Options for a store that reads the event file of `paths` as the running application would.
EventStoreOptions makeEventStoreOptions(const Paths& paths, bool isolated, UserDefaults* defaults);

}  // namespace glimmet
