#include "platform/console_input.hpp"

#include <uv.h>

#include <string_view>

#include "base/log.hpp"
#include "platform/posix/uv_handle.hpp"
#include "platform/posix_error.hpp"

namespace glimmet {

namespace {

// A read from a plain file or character device runs on libuv's thread pool; it outlives the
// reader when that is destroyed mid-read, and then only frees itself.
struct FileRead {
  uv_fs_t request{};
  char buffer[4096];
  ConsoleInput::Impl* owner = nullptr;
};

}  // namespace

struct ConsoleInput::Impl {
  MainLoop& loop;
  int fd;
  LineHandler onLine;
  std::function<void()> onEnd;
  LogSink log;
  UvHandle<uv_any_handle> stream;
  FileRead* fileRead = nullptr;
  std::string pending;
  bool discardingLongLine = false;
  bool ended = false;

  Impl(MainLoop& mainLoop, int descriptor, LineHandler lines, std::function<void()> end,
       LogSink logger)
      : loop(mainLoop),
        fd(descriptor),
        onLine(std::move(lines)),
        onEnd(std::move(end)),
        log(std::move(logger)) {}

  uv_loop_t* uvLoop() { return static_cast<uv_loop_t*>(loop.nativeHandle()); }

  void diagnose(const std::string& line) { writeLog(log, line); }

  void start() {
    const uv_handle_type type = uv_guess_handle(fd);
    if (type == UV_FILE) {
      readFileChunk();
      return;
    }
    if (type != UV_TTY && type != UV_NAMED_PIPE && type != UV_TCP) {
      diagnose("[Glimmet] console commands are off: standard input cannot be read");
      return;
    }
    const int rc = stream.init([&](uv_any_handle* handle) {
      int result = 0;
      if (type == UV_TTY) {
        result = uv_tty_init(uvLoop(), &handle->tty, fd, 1);
      } else if (type == UV_NAMED_PIPE) {
        result = uv_pipe_init(uvLoop(), &handle->pipe, 0);
        if (result == 0) result = uv_pipe_open(&handle->pipe, fd);
      } else {
        result = uv_tcp_init(uvLoop(), &handle->tcp);
        if (result == 0) result = uv_tcp_open(&handle->tcp, fd);
      }
      if (result != 0) return result;
      handle->handle.data = this;
      return uv_read_start(
          &handle->stream,
          [](uv_handle_t*, size_t suggested, uv_buf_t* buffer) {
            buffer->base = new char[suggested];
            buffer->len = suggested;
          },
          [](uv_stream_t* from, ssize_t count, const uv_buf_t* buffer) {
            auto* self = static_cast<Impl*>(from->data);
            if (self && count > 0) self->consume(std::string_view(buffer->base, count));
            delete[] buffer->base;
            if (self && count < 0) self->finish();
          });
    });
    if (rc != 0) {
      diagnose("[Glimmet] console commands are off: " +
               POSIXError{-rc, "reading standard input"}.description());
      return;
    }
    // Waiting for commands must not by itself keep the loop running.
    uv_unref(stream.base());
  }

  void readFileChunk() {
    auto* read = new FileRead();
    read->owner = this;
    read->request.data = read;
    fileRead = read;
    const uv_buf_t buffer = uv_buf_init(read->buffer, sizeof(read->buffer));
    const int rc = uv_fs_read(uvLoop(), &read->request, fd, &buffer, 1, -1, [](uv_fs_t* request) {
      auto* done = static_cast<FileRead*>(request->data);
      const ssize_t count = request->result;
      uv_fs_req_cleanup(request);
      Impl* self = done->owner;
      if (self) {
        self->fileRead = nullptr;
        if (count > 0) {
          self->consume(std::string_view(done->buffer, static_cast<size_t>(count)));
          self->readFileChunk();
        } else {
          self->finish();
        }
      }
      delete done;
    });
    if (rc != 0) {
      fileRead = nullptr;
      delete read;
      diagnose("[Glimmet] console commands are off: " +
               POSIXError{-rc, "reading standard input"}.description());
    }
  }

  void consume(std::string_view bytes) {
    while (!bytes.empty()) {
      const size_t newline = bytes.find('\n');
      const std::string_view part = bytes.substr(0, newline);
      if (!discardingLongLine) pending.append(part);
      if (pending.size() > kMaxLineBytes) {
        if (!discardingLongLine) diagnose("[Glimmet] console line too long; ignored");
        pending.clear();
        discardingLongLine = true;
      }
      if (newline == std::string_view::npos) return;
      bytes.remove_prefix(newline + 1);
      if (!discardingLongLine) emit();
      pending.clear();
      discardingLongLine = false;
    }
  }

  void emit() {
    std::string line = std::move(pending);
    pending.clear();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (onLine) onLine(line);
  }

  void finish() {
    if (ended) return;
    ended = true;
    if (!pending.empty() && !discardingLongLine) emit();
    closeStream();
    if (onEnd) onEnd();
  }

  // Closing stops reading; libuv frees the handle once it lets go of it.
  void closeStream() { stream.reset(); }

  ~Impl() {
    if (fileRead) fileRead->owner = nullptr;
    closeStream();
  }
};

ConsoleInput::ConsoleInput(MainLoop& loop, int fd, LineHandler onLine, std::function<void()> onEnd,
                           LogSink log)
    : impl_(std::make_unique<Impl>(loop, fd, std::move(onLine), std::move(onEnd), std::move(log))) {
  impl_->start();
}

ConsoleInput::~ConsoleInput() = default;

}  // namespace glimmet
