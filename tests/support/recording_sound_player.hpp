#pragma once

// A SoundPlayer that plays nothing and remembers every call: each start reports at once with
// the duration or the failure the test set for that path.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sound_player.hpp"

namespace glimmet::testing {

class RecordingSoundPlayer final : public SoundPlayer {
 public:
  struct Play {
    Handle handle = 0;
    std::string what;  // the file, or the named sound
    bool named = false;
    double start = 0;
  };

  Handle playFile(const std::string& path, double startSeconds,
                  SoundPlaybackEvents events) override {
    return begin(path, false, startSeconds, events);
  }
  Handle playNamed(const std::string& name, SoundPlaybackEvents events) override {
    return begin(name, true, 0, events);
  }
  void stop(Handle handle) override { stopped.push_back(handle); }

  std::map<std::string, double> durations;
  std::map<std::string, std::pair<SoundFailure, std::string>> failures;
  std::vector<Play> plays;
  std::vector<Handle> stopped;

 private:
  Handle begin(const std::string& what, bool named, double start,
               const SoundPlaybackEvents& events) {
    const Handle handle = next_++;
    plays.push_back({handle, what, named, start});
    if (const auto failure = failures.find(what); failure != failures.end()) {
      events.failed(failure->second.first, failure->second.second);
    } else {
      const auto duration = durations.find(what);
      events.started(duration == durations.end() ? std::nullopt
                                                 : std::optional<double>(duration->second));
    }
    return handle;
  }
  Handle next_ = 100;
};

}  // namespace glimmet::testing
