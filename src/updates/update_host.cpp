#include "updates/update_host.hpp"

#include "platform/machine_architecture.hpp"

namespace glimmet {

UpdateHost currentUpdateHost() {
#ifdef __APPLE__
  // The macOS feed publishes Apple-silicon builds only.
  return {"macos", "arm64"};
#else
  return {"linux", machineArchitecture()};
#endif
}

std::string defaultArtifactKind(const UpdateHost& host) {
  return host.platform == "macos" ? "dmg" : "tar.gz";
}

}  // namespace glimmet
