#pragma once

namespace glimmet {

// libcurl's global set-up is not thread-safe and must run once before any transfer; both
// the fetches and the downloads call this first.
void initialiseCurlOnce();

}  // namespace glimmet
