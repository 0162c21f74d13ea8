#include "updates/release_info.hpp"

namespace glimmet {

std::string_view glimmetVersion() {
  return GLIMMET_VERSION;
}

std::string_view defaultUpdateFeedURL() {
  return GLIMMET_DEFAULT_UPDATE_FEED_URL;
}

}  // namespace glimmet
