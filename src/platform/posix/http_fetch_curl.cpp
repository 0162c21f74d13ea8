#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/http_fetch.hpp"
#include "platform/posix/curl_global.hpp"

namespace glimmet {

namespace {

struct CurlHandleDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct BodySink {
  std::string* body;
  size_t limit;
  bool overflowed = false;
};

size_t appendBody(char* data, size_t size, size_t count, void* context) {
  auto* sink = static_cast<BodySink*>(context);
  const size_t bytes = size * count;
  if (sink->body->size() + bytes > sink->limit) {
    sink->overflowed = true;
    return 0;  // a short write makes curl stop the transfer
  }
  sink->body->append(data, bytes);
  return bytes;
}

// Schemes are limited before the transfer starts and again for every redirect: a feed on
// https must not be able to send the fetch to file:// or to any other protocol curl knows.
void limitSchemes(CURL* handle) {
#if LIBCURL_VERSION_NUM >= 0x075500
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https,file");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS,
                   static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS | CURLPROTO_FILE));
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS,
                   static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
}

}  // namespace

HttpFetchResponse httpFetch(const HttpFetchRequest& request) {
  initialiseCurlOnce();
  HttpFetchResponse response;
  std::unique_ptr<CURL, CurlHandleDeleter> handle(curl_easy_init());
  if (!handle) {
    response.error = "could not start a transfer";
    return response;
  }
  CURL* curl = handle.get();
  BodySink sink{&response.body, request.maxBodyBytes};
  char errorText[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
  limitSchemes(curl);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout.count()));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(std::min<long long>(request.timeout.count(), 10000)));
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Glimmet");
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  // Refuse an announced oversize body before any of it arrives.
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBodyBytes));

  const CURLcode code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
  const char* contentType = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType) {
    response.contentType = contentType;
  }
  if (sink.overflowed || code == CURLE_FILESIZE_EXCEEDED) {
    response.bodyTooLarge = true;
    response.error =
        "the response is larger than " + std::to_string(request.maxBodyBytes) + " bytes";
    response.body.clear();
  } else if (code != CURLE_OK) {
    response.error = errorText[0] != '\0' ? std::string(errorText) : curl_easy_strerror(code);
    response.body.clear();
  }
  return response;
}

}  // namespace glimmet
