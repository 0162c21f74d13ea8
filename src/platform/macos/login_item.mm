#include "platform/login_item.hpp"

#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

namespace glimmet {

// The app's own login item through SMAppService; the program path is the bundle's own, so it is
// not needed here.
Status setOpenAtLogin(bool enabled, const std::string&, const Environment&) {
  if (@available(macOS 13.0, *)) {
    SMAppService* service = SMAppService.mainAppService;
    const bool registered = service.status == SMAppServiceStatusEnabled ||
                            service.status == SMAppServiceStatusRequiresApproval;
    if (enabled == registered) return {};
    NSError* error = nil;
    const BOOL done = enabled ? [service registerAndReturnError:&error]
                              : [service unregisterAndReturnError:&error];
    if (done) return {};
    return Status::failure(error ? std::string(error.localizedDescription.UTF8String)
                                 : std::string("the login item could not be changed"));
  }
  return Status::failure("opening at login needs macOS 13 or later");
}

bool isOpenAtLogin(const Environment&) {
  if (@available(macOS 13.0, *)) {
    return SMAppService.mainAppService.status == SMAppServiceStatusEnabled;
  }
  return false;
}

}  // namespace glimmet
