// expect: cannot initialize a parameter of type 'NSApplicationActivationPolicy'
#import <AppKit/AppKit.h>

void becomeAccessory() {
  [NSApplication.sharedApplication setActivationPolicy:"accessory"];
}
