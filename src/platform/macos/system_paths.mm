#include "platform/system_paths.hpp"

#import <Foundation/Foundation.h>

namespace glimmet {

std::string applicationSupportDirectory(const Environment& environment) {
  @autoreleasepool {
    NSArray<NSURL*>* urls =
        [NSFileManager.defaultManager URLsForDirectory:NSApplicationSupportDirectory
                                             inDomains:NSUserDomainMask];
    if (urls.count > 0 && urls.firstObject.path != nil) {
      return std::string(urls.firstObject.path.UTF8String) + "/Glimmet";
    }
  }
  return userHomeDirectory(environment) + "/Library/Application Support/Glimmet";
}

std::string userConfigDirectory(const Environment& environment) {
  return applicationSupportDirectory(environment);
}

}  // namespace glimmet
