#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/result.hpp"
#include "platform/main_loop.hpp"

namespace glimmet {

enum class FileEventKind {
  changed,  // written, extended, attributes changed; for a directory, an entry changed
  removed,  // the watched path itself deleted, renamed or revoked: the watch is gone and must
            // be installed again
};

// Watches one file or directory; callbacks run on the main loop. A directory watch reports any
// change of its entries as `changed`, which is how a file that does not exist yet is noticed.
class FileWatcher {
 public:
  using Callback = std::function<void(FileEventKind)>;

  static Result<std::unique_ptr<FileWatcher>> watch(MainLoop& loop, const std::string& path,
                                                    Callback callback);
  ~FileWatcher();
  FileWatcher(const FileWatcher&) = delete;
  FileWatcher& operator=(const FileWatcher&) = delete;

 private:
  struct Impl;
  explicit FileWatcher(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace glimmet
