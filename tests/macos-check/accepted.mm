// The calls the rejected sources get wrong, made correctly: the check must let this through.
#import <AppKit/AppKit.h>

void showPanel(NSPanel* panel, NSRect frame) {
  [NSApplication.sharedApplication setActivationPolicy:NSApplicationActivationPolicyAccessory];
  [panel setFrame:frame display:YES];
  [panel orderFrontRegardless];
  id observer = [NSNotificationCenter.defaultCenter
      addObserverForName:NSApplicationDidChangeScreenParametersNotification
                  object:nil
                   queue:NSOperationQueue.mainQueue
              usingBlock:^(NSNotification*){
              }];
  [NSNotificationCenter.defaultCenter removeObserver:observer];
}
