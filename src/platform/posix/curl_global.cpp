#include "platform/posix/curl_global.hpp"

#include <curl/curl.h>

#include <mutex>

namespace glimmet {

void initialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace glimmet
