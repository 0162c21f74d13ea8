#include "platform/file_replacement.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include <fmt/format.h>

#include "platform/posix/descriptor_io.hpp"
#include "platform/posix/unique_fd.hpp"

namespace glimmet {

Status moveReplacing(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    return Status::failure(fmt::format("Cannot move {} to {}: {}", from, to, systemError(errno)));
  }
  return {};
}

Status readFileInChunks(const std::string& path, size_t chunkBytes,
                        const std::function<void(std::string_view)>& consume) {
  // Non-blocking open: a FIFO in the file's place must not hang the reader.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) {
    return Status::failure(fmt::format("Cannot read {}: {}", path, systemError(errno)));
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return Status::failure(fmt::format("Cannot read {}: not a regular file", path));
  }
  std::vector<char> buffer(chunkBytes == 0 ? 1 : chunkBytes);
  while (true) {
    const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
    if (got == 0) return {};
    if (got < 0) {
      if (errno == EINTR) continue;
      return Status::failure(fmt::format("Cannot read {}: {}", path, systemError(errno)));
    }
    consume(std::string_view(buffer.data(), static_cast<size_t>(got)));
  }
}

bool isWritableDirectory(const std::string& directory) {
  return ::access(directory.c_str(), W_OK | X_OK) == 0;
}

}  // namespace glimmet
