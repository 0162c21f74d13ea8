#include "platform/file_watcher.hpp"

#include <uv.h>

#include <fmt/format.h>

namespace glimmet {

struct FileWatcher::Impl {
  uv_fs_event_t* handle = nullptr;
  Callback callback;
};

Result<std::unique_ptr<FileWatcher>> FileWatcher::watch(MainLoop& loop, const std::string& path,
                                                        Callback callback) {
  auto impl = std::make_unique<Impl>();
  impl->callback = std::move(callback);
  impl->handle = new uv_fs_event_t();
  auto* uvLoop = static_cast<uv_loop_t*>(loop.nativeHandle());
  uv_fs_event_init(uvLoop, impl->handle);
  impl->handle->data = impl.get();
  const int rc = uv_fs_event_start(
      impl->handle,
      [](uv_fs_event_t* handle, const char* /*filename*/, int events, int status) {
        if (status < 0) return;
        auto* self = static_cast<Impl*>(handle->data);
        if (!self) return;
        // A copy: the callback may destroy this watcher.
        auto callback = self->callback;
        callback((events & UV_RENAME) ? FileEventKind::removed : FileEventKind::changed);
      },
      path.c_str(), 0);
  if (rc != 0) {
    uv_close(reinterpret_cast<uv_handle_t*>(impl->handle),
             [](uv_handle_t* handle) { delete reinterpret_cast<uv_fs_event_t*>(handle); });
    impl->handle = nullptr;
    return Result<std::unique_ptr<FileWatcher>>::failure(
        fmt::format("Cannot watch {}: {}", path, uv_strerror(rc)));
  }
  return std::unique_ptr<FileWatcher>(new FileWatcher(std::move(impl)));
}

FileWatcher::FileWatcher(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

FileWatcher::~FileWatcher() {
  if (!impl_->handle) return;
  // The callback may be what destroys this watcher; the handle outlives it until uv closes it.
  impl_->handle->data = nullptr;
  uv_fs_event_stop(impl_->handle);
  uv_close(reinterpret_cast<uv_handle_t*>(impl_->handle),
           [](uv_handle_t* handle) { delete reinterpret_cast<uv_fs_event_t*>(handle); });
}

}  // namespace glimmet
