#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace glimmet {

struct HttpFetchRequest {
  // http, https or file; redirects are followed only to http and https, so a server can never
  // point the fetch at a local file.
  std::string url;
  // A larger body stops the transfer: nothing Glimmet fetches this way is big.
  size_t maxBodyBytes = size_t{1024} * 1024;
  std::chrono::milliseconds timeout{30000};
};

struct HttpFetchResponse {
  // The final HTTP status; 0 for a file URL, which has none.
  long status = 0;
  std::string body;
  // The Content-Type header as sent (parameters included), empty when there was none.
  std::string contentType;
  // Set when the transfer failed: no connection, a refused scheme or redirect, a time-out.
  std::optional<std::string> error;
  // The body passed maxBodyBytes; `error` is set as well.
  bool bodyTooLarge = false;
};

// One blocking GET; callers run it off the main thread.
HttpFetchResponse httpFetch(const HttpFetchRequest& request);

}  // namespace glimmet
