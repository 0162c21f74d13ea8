#include "platform/http_download.hpp"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include <fmt/format.h>

#include "platform/posix/curl_global.hpp"
#include "platform/posix/descriptor_io.hpp"
#include "platform/posix/unique_fd.hpp"

namespace glimmet {

namespace {

struct EasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct Transfer {
  int fd = -1;
  uint64_t received = 0;
  uint64_t maxBytes = UINT64_MAX;
  bool overLimit = false;
  int writeErrno = 0;
  const std::function<void(uint64_t, uint64_t)>* progress = nullptr;
};

size_t writeBody(char* data, size_t size, size_t count, void* context) {
  auto& transfer = *static_cast<Transfer*>(context);
  const size_t length = size * count;
  if (length > transfer.maxBytes - transfer.received) {
    transfer.overLimit = true;
    return 0;  // anything but `length` makes curl stop with a write error
  }
  if (!writeAll(transfer.fd, std::string_view(data, length))) {
    transfer.writeErrno = errno;
    return 0;
  }
  transfer.received += length;
  return length;
}

int reportProgress(void* context, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
  const auto& transfer = *static_cast<Transfer*>(context);
  if (transfer.progress && *transfer.progress && now > 0) {
    (*transfer.progress)(static_cast<uint64_t>(now), total > 0 ? static_cast<uint64_t>(total) : 0);
  }
  return 0;
}

}  // namespace

Result<long> downloadToFile(const HttpDownloadRequest& request) {
  initialiseCurlOnce();
  std::unique_ptr<CURL, EasyCleanup> handle(curl_easy_init());
  if (!handle) return Result<long>::failure("Could not start the download");
  UniqueFd file(::open(request.destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!file.valid()) {
    return Result<long>::failure(
        fmt::format("Cannot write {}: {}", request.destination, systemError(errno)));
  }
  Transfer transfer;
  transfer.fd = file.get();
  transfer.maxBytes = request.maxBytes;
  transfer.progress = &request.progress;
  char errorText[CURL_ERROR_SIZE] = {};

  CURL* curl = handle.get();
  curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
  // A stalled server fails the transfer instead of holding the caller forever; a slow but
  // moving one may take as long as it needs.
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, reportProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

  const CURLcode code = curl_easy_perform(curl);
  if (code != CURLE_OK) {
    file.reset();
    ::unlink(request.destination.c_str());
    if (transfer.overLimit) {
      return Result<long>::failure(
          fmt::format("The download is larger than the expected {} bytes", request.maxBytes));
    }
    if (transfer.writeErrno != 0) {
      return Result<long>::failure(fmt::format("Cannot write {}: {}", request.destination,
                                               systemError(transfer.writeErrno)));
    }
    return Result<long>::failure(errorText[0] != '\0' ? std::string(errorText)
                                                      : std::string(curl_easy_strerror(code)));
  }
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

}  // namespace glimmet
