// expect: with an rvalue of type 'void (^)(BOOL)'
#import <UserNotifications/UserNotifications.h>

void ask() {
  [UNUserNotificationCenter.currentNotificationCenter
      requestAuthorizationWithOptions:UNAuthorizationOptionAlert
                    completionHandler:^(BOOL granted) {
                      (void)granted;
                    }];
}
