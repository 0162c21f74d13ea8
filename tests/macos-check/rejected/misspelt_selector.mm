// expect: declares the selector 'orderFrontRegardles'
#import <AppKit/AppKit.h>

void showPanel(NSPanel* panel) {
  [panel orderFrontRegardles];
}
