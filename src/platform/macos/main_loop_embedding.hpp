#pragma once

#include <memory>

namespace glimmet {

class MainLoop;

// Drives `loop` from the main CFRunLoop: its backend descriptor as a CFFileDescriptor source and
// its next timeout as a CFRunLoopTimer, running runOnce() whenever either fires. Detaches when
// destroyed. Main thread only.
class MainLoopEmbedding {
 public:
  explicit MainLoopEmbedding(MainLoop& loop);
  ~MainLoopEmbedding();
  MainLoopEmbedding(const MainLoopEmbedding&) = delete;
  MainLoopEmbedding& operator=(const MainLoopEmbedding&) = delete;

  struct Sources;  // the run loop's sources, opaque to the owner

 private:
  std::unique_ptr<Sources> sources_;
};

}  // namespace glimmet
