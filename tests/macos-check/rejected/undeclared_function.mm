// expect: use of undeclared identifier 'NSBeep'
#import <AppKit/AppKit.h>

void complain() {
  NSBeep();
}
