#include "platform/macos/cocoa_screens.hpp"

#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>

#include <map>

#include "platform/mac_shell_rules.hpp"

namespace glimmet {

namespace {

CocoaRect cocoaRectFrom(NSRect rect) {
  return CocoaRect{rect.origin.x, rect.origin.y, rect.size.width, rect.size.height};
}

CocoaScreenFacts factsOf(NSScreen* screen) {
  CocoaScreenFacts facts;
  NSNumber* number = screen.deviceDescription[@"NSScreenNumber"];
  facts.id = number.stringValue.UTF8String;
  facts.localizedName = screen.localizedName.UTF8String;
  facts.frame = cocoaRectFrom(screen.frame);
  facts.visibleFrame = cocoaRectFrom(screen.visibleFrame);
  facts.backingScaleFactor = screen.backingScaleFactor;
  // The notch and its neighbouring areas exist from macOS 12 on; earlier systems have none.
  if (@available(macOS 12.0, *)) {
    facts.safeAreaTopInset = screen.safeAreaInsets.top;
    const NSRect left = screen.auxiliaryTopLeftArea;
    const NSRect right = screen.auxiliaryTopRightArea;
    if (!NSIsEmptyRect(left)) facts.auxiliaryTopLeftArea = cocoaRectFrom(left);
    if (!NSIsEmptyRect(right)) facts.auxiliaryTopRightArea = cocoaRectFrom(right);
  }
  return facts;
}

WindowSnapshot snapshotOf(NSDictionary* window) {
  WindowSnapshot snapshot;
  snapshot.ownerPID = [window[(__bridge NSString*)kCGWindowOwnerPID] intValue];
  snapshot.layer = [window[(__bridge NSString*)kCGWindowLayer] intValue];
  NSNumber* alpha = window[(__bridge NSString*)kCGWindowAlpha];
  if (alpha != nil) snapshot.alpha = alpha.doubleValue;
  NSNumber* onScreen = window[(__bridge NSString*)kCGWindowIsOnscreen];
  if (onScreen != nil) snapshot.isOnScreen = onScreen.boolValue;
  NSDictionary* boundsDictionary = window[(__bridge NSString*)kCGWindowBounds];
  CGRect bounds = CGRectZero;
  if (boundsDictionary != nil &&
      CGRectMakeWithDictionaryRepresentation((__bridge CFDictionaryRef)boundsDictionary, &bounds)) {
    // The window server's bounds already run from the top left of the primary screen.
    snapshot.bounds =
        PixelRect{static_cast<int>(bounds.origin.x), static_cast<int>(bounds.origin.y),
                  static_cast<int>(bounds.size.width), static_cast<int>(bounds.size.height)};
  }
  return snapshot;
}

}  // namespace

double primaryScreenHeight() {
  NSScreen* primary = NSScreen.screens.firstObject;
  return primary == nil ? 0 : primary.frame.size.height;
}

std::vector<HostScreen> cocoaScreens() {
  std::vector<HostScreen> screens;
  @autoreleasepool {
    const double height = primaryScreenHeight();
    bool first = true;
    for (NSScreen* screen in NSScreen.screens) {
      screens.push_back(hostScreenFromCocoa(factsOf(screen), first, height));
      first = false;
    }
  }
  return screens;
}

std::set<std::string> cocoaScreensWithFullScreenWindows() {
  std::map<std::string, PixelRect> displays;
  for (const HostScreen& screen : cocoaScreens()) displays[screen.id] = screen.frame;
  std::vector<WindowSnapshot> windows;
  @autoreleasepool {
    NSArray* list = (__bridge_transfer NSArray*)CGWindowListCopyWindowInfo(
        kCGWindowListOptionOnScreenOnly | kCGWindowListExcludeDesktopElements, kCGNullWindowID);
    for (NSDictionary* window in list) windows.push_back(snapshotOf(window));
  }
  return displayIDsWithFullScreenWindows(windows, displays,
                                         NSProcessInfo.processInfo.processIdentifier);
}

}  // namespace glimmet
