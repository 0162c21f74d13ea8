#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/result.hpp"

namespace glimmet {

struct HttpDownloadRequest {
  std::string url;          // http or https; redirects are followed only to http or https
  std::string destination;  // created exclusively (mode 0600); must not exist yet
  // The body is cut off, and the transfer fails, once it grows past this many bytes.
  uint64_t maxBytes = UINT64_MAX;
  // Bytes received so far and the announced total (0 while the server has not told it).
  std::function<void(uint64_t received, uint64_t total)> progress;
};

// Fetches the body of `url` into `destination` and returns the final response's HTTP status,
// whatever it is. A transport failure (no connection, a body shorter than announced, a body
// over `maxBytes`) fails with its description and leaves no file behind. Blocks the caller.
Result<long> downloadToFile(const HttpDownloadRequest& request);

}  // namespace glimmet
