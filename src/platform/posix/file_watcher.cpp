#include "platform/file_watcher.hpp"

#include <uv.h>

#include <filesystem>
#include <string>

#include <fmt/format.h>

#include "platform/posix/uv_handle.hpp"

namespace glimmet {

struct FileWatcher::Impl {
  UvHandle<uv_fs_event_t> handle;
  Callback callback;
  // The last component of the watched path: an event naming it concerns the watched file or
  // directory itself, any other name an entry of a watched directory.
  std::string name;
};

Result<std::unique_ptr<FileWatcher>> FileWatcher::watch(MainLoop& loop, const std::string& path,
                                                        Callback callback) {
  auto impl = std::make_unique<Impl>();
  impl->callback = std::move(callback);
  impl->name = std::filesystem::path(path).lexically_normal().filename().string();
  if (impl->name.empty()) {
    impl->name = std::filesystem::path(path).lexically_normal().parent_path().filename().string();
  }
  auto* uvLoop = static_cast<uv_loop_t*>(loop.nativeHandle());
  void* owner = impl.get();
  const int rc = impl->handle.init([&](uv_fs_event_t* handle) {
    const int result = uv_fs_event_init(uvLoop, handle);
    if (result != 0) return result;
    handle->data = owner;
    return uv_fs_event_start(
        handle,
        [](uv_fs_event_t* fired, const char* filename, int events, int status) {
          if (status < 0) return;
          auto* self = static_cast<Impl*>(fired->data);
          if (!self) return;
          // An entry of a watched directory created, deleted or renamed leaves the watch
          // intact; only the watched path itself going away ends it.
          const bool itself = filename == nullptr || self->name == filename;
          const bool removed = (events & UV_RENAME) != 0 && itself;
          // A copy: the callback may destroy this watcher.
          auto callback = self->callback;
          callback(removed ? FileEventKind::removed : FileEventKind::changed);
        },
        path.c_str(), 0);
  });
  if (rc != 0) {
    return Result<std::unique_ptr<FileWatcher>>::failure(
        fmt::format("Cannot watch {}: {}", path, uv_strerror(rc)));
  }
  return std::unique_ptr<FileWatcher>(new FileWatcher(std::move(impl)));
}

FileWatcher::FileWatcher(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

// The callback may be what destroys this watcher; the handle outlives it until libuv closes it.
FileWatcher::~FileWatcher() = default;

}  // namespace glimmet
