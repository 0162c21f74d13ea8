#include "platform/file_watcher.hpp"

#include <uv.h>

#include <fmt/format.h>

#include "platform/posix/uv_handle.hpp"

namespace glimmet {

struct FileWatcher::Impl {
  UvHandle<uv_fs_event_t> handle;
  Callback callback;
};

Result<std::unique_ptr<FileWatcher>> FileWatcher::watch(MainLoop& loop, const std::string& path,
                                                        Callback callback) {
  auto impl = std::make_unique<Impl>();
  impl->callback = std::move(callback);
  auto* uvLoop = static_cast<uv_loop_t*>(loop.nativeHandle());
  void* owner = impl.get();
  const int rc = impl->handle.init([&](uv_fs_event_t* handle) {
    const int result = uv_fs_event_init(uvLoop, handle);
    if (result != 0) return result;
    handle->data = owner;
    return uv_fs_event_start(
        handle,
        [](uv_fs_event_t* fired, const char* /*filename*/, int events, int status) {
          if (status < 0) return;
          auto* self = static_cast<Impl*>(fired->data);
          if (!self) return;
          // A copy: the callback may destroy this watcher.
          auto callback = self->callback;
          callback((events & UV_RENAME) ? FileEventKind::removed : FileEventKind::changed);
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
