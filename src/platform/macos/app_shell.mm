#include "platform/app_shell.hpp"

#import <AppKit/AppKit.h>

#include <optional>

#include "platform/macos/main_loop_embedding.hpp"

// Tells the C++ side when AppKit has finished launching and when the user asks it to quit.
@interface GlimmetAppDelegate : NSObject <NSApplicationDelegate>
@property(nonatomic) std::function<void()> launched;
@property(nonatomic) std::function<void()> quitRequested;
@end

@implementation GlimmetAppDelegate
- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  if (_launched) _launched();
}
// Quitting goes through the main loop, so that everything shuts down in order before the run
// loop ends.
- (NSApplicationTerminateReply)applicationShouldTerminate:(NSApplication*)sender {
  if (_quitRequested) _quitRequested();
  return NSTerminateCancel;
}
@end

namespace glimmet {

void runAppShell(MainLoop& loop, MacActivationPolicy policy, AppShellHooks hooks) {
  @autoreleasepool {
    NSApplication* application = NSApplication.sharedApplication;
    [application setActivationPolicy:policy == MacActivationPolicy::regular
                                         ? NSApplicationActivationPolicyRegular
                                         : NSApplicationActivationPolicyAccessory];
    GlimmetAppDelegate* delegate = [[GlimmetAppDelegate alloc] init];
    delegate.launched = std::move(hooks.launched);
    delegate.quitRequested = std::move(hooks.quitRequested);
    application.delegate = delegate;
    MainLoopEmbedding embedding(loop);
    [application run];
    application.delegate = nil;
  }
}

void quitAppShell() {
  // stop: rather than terminate: so that run returns and the owners shut down in order.
  [NSApp stop:nil];
  // The run loop notices the stop only after its next event.
  NSEvent* wake = [NSEvent otherEventWithType:NSEventTypeApplicationDefined
                                     location:NSZeroPoint
                                modifierFlags:0
                                    timestamp:0
                                 windowNumber:0
                                      context:nil
                                      subtype:0
                                        data1:0
                                        data2:0];
  [NSApp postEvent:wake atStart:YES];
}

}  // namespace glimmet
