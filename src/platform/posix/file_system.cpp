#include "platform/file_system.hpp"
#include "platform/file_range_read.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include <fmt/format.h>

#include "platform/posix/descriptor_io.hpp"
#include "platform/posix/unique_fd.hpp"

namespace glimmet {

namespace {

std::atomic<uint64_t> gMetadataReads{0};
std::atomic<uint64_t> gBytesRead{0};

Timestamp modificationTime(const struct stat& info) {
#if defined(__APPLE__)
  const auto& modified = info.st_mtimespec;
#else
  const auto& modified = info.st_mtim;
#endif
  return Timestamp{std::chrono::seconds{modified.tv_sec}} +
         std::chrono::microseconds{modified.tv_nsec / 1000};
}

FileKind kindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::regular;
  if (S_ISDIR(mode)) return FileKind::directory;
  if (S_ISFIFO(mode)) return FileKind::fifo;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::device;
  if (S_ISSOCK(mode)) return FileKind::socket;
  return FileKind::other;
}

}  // namespace

std::string_view describe(FileKind kind) {
  switch (kind) {
    case FileKind::regular:
      return "a regular file";
    case FileKind::directory:
      return "a directory";
    case FileKind::fifo:
      return "a FIFO";
    case FileKind::device:
      return "a device";
    case FileKind::socket:
      return "a socket";
    case FileKind::other:
      break;
  }
  return "neither file nor directory";
}

std::optional<FileMetadata> fileMetadata(const std::string& path) {
  gMetadataReads.fetch_add(1, std::memory_order_relaxed);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  FileMetadata metadata;
  metadata.size = static_cast<uint64_t>(info.st_size);
  metadata.modified = modificationTime(info);
  metadata.inode = static_cast<uint64_t>(info.st_ino);
  metadata.isDirectory = S_ISDIR(info.st_mode);
  metadata.kind = kindOf(info.st_mode);
  return metadata;
}

bool fileExists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

bool isDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> readFile(const std::string& path) {
  return readFileFrom(path, 0);
}

std::optional<std::string> readFileFrom(const std::string& path, uint64_t offset,
                                        uint64_t maxBytes) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer, possibly for ever.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::string bytes;
  const auto size = static_cast<uint64_t>(info.st_size);
  if (offset < size) bytes.reserve(static_cast<size_t>(std::min(size - offset, maxBytes)));
  char buffer[65536];
  auto position = static_cast<off_t>(offset);
  while (bytes.size() < maxBytes) {
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(sizeof(buffer), maxBytes - bytes.size()));
    const ssize_t got = ::pread(fd.get(), buffer, want, position);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
    position += got;
  }
  gBytesRead.fetch_add(bytes.size(), std::memory_order_relaxed);
  return bytes;
}

bool readFileInto(const std::string& path, uint64_t offset, char* out, size_t length) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) return false;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  size_t done = 0;
  while (done < length) {
    const ssize_t got =
        ::pread(fd.get(), out + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return false;
    done += static_cast<size_t>(got);
  }
  gBytesRead.fetch_add(done, std::memory_order_relaxed);
  return true;
}

void preferLargePages(char* data, size_t length) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
  const auto start = reinterpret_cast<uintptr_t>(data);
  // The whole large pages inside the buffer.
  const uintptr_t firstPage = (start + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t endOfLastPage = (start + length) & ~(kLargePage - 1);
  if (endOfLastPage <= firstPage) return;
  // Only a hint: where large pages are off, the buffer keeps small ones.
  (void)::madvise(data + (firstPage - start), endOfLastPage - firstPage, MADV_HUGEPAGE);
#else
  (void)data;
  (void)length;
#endif
}

Status writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode) {
  const std::filesystem::path target(path);
  const auto directory = target.parent_path();
  if (!directory.empty()) {
    if (auto status = createDirectories(directory.string()); !status) return status;
  }
  static thread_local std::mt19937_64 random{std::random_device{}()};
  const std::string temporary =
      fmt::format("{}/.{}.tmp-{:x}", directory.empty() ? "." : directory.string(),
                  target.filename().string(), random());
  UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!fd.valid()) {
    return Status::failure(fmt::format("Cannot write {}: {}", path, systemError(errno)));
  }
  if (!writeAll(fd.get(), bytes) || ::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0 ||
      ::fsync(fd.get()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return Status::failure(fmt::format("Cannot write {}: {}", path, systemError(error)));
  }
  fd.reset();
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return Status::failure(fmt::format("Cannot replace {}: {}", path, systemError(error)));
  }
  return {};
}

Status appendToFile(const std::string& path, std::string_view bytes, unsigned mode) {
  UniqueFd fd(
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, static_cast<mode_t>(mode)));
  if (!fd.valid()) {
    return Status::failure(fmt::format("Cannot open {}: {}", path, systemError(errno)));
  }
  if (!writeAll(fd.get(), bytes)) {
    return Status::failure(fmt::format("Cannot append to {}: {}", path, systemError(errno)));
  }
  return {};
}

Status createDirectories(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error && !isDirectory(path)) {
    return Status::failure(fmt::format("Cannot create {}: {}", path, error.message()));
  }
  return {};
}

Status removeFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    return Status::failure(fmt::format("Cannot remove {}: {}", path, systemError(errno)));
  }
  return {};
}

FileSystemCounters fileSystemCounters() {
  return {gMetadataReads.load(std::memory_order_relaxed),
          gBytesRead.load(std::memory_order_relaxed)};
}

}  // namespace glimmet

namespace glimmet {

std::vector<ListedFile> listFiles(const std::string& directory, std::string_view prefix,
                                  std::string_view suffix, size_t limit) {
  std::vector<ListedFile> files;
  std::error_code error;
  std::filesystem::recursive_directory_iterator it(
      directory, std::filesystem::directory_options::skip_permission_denied, error);
  const std::filesystem::recursive_directory_iterator end;
  for (; !error && it != end && files.size() < limit; it.increment(error)) {
    std::error_code entryError;
    if (!it->is_regular_file(entryError) || it->is_symlink(entryError)) continue;
    const std::string name = it->path().filename().string();
    if (name.size() < prefix.size() + suffix.size()) continue;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) continue;
    if (auto metadata = fileMetadata(it->path().string())) {
      files.push_back({it->path().string(), metadata->size, metadata->modified});
    }
  }
  return files;
}

}  // namespace glimmet
