// Notifications through the user-notification service. The buttons come from the categories
// registered at launch; a notification names its category and the service shows that one's
// buttons.

#include "platform/desktop_notifications.hpp"

#import <UserNotifications/UserNotifications.h>

#include <map>
#include <string>

#include "platform/app_shell.hpp"

// Hands the user's answers back to the service; the system calls it on the main thread.
@interface GlimmetNotificationDelegate : NSObject <UNUserNotificationCenterDelegate>
@property(nonatomic) std::function<void(const std::string& identifier, const std::string& action)>
    onResponse;
@end

@implementation GlimmetNotificationDelegate
- (void)userNotificationCenter:(UNUserNotificationCenter*)center
    didReceiveNotificationResponse:(UNNotificationResponse*)response
             withCompletionHandler:(void (^)(void))completionHandler {
  if (_onResponse) {
    _onResponse(response.notification.request.identifier.UTF8String,
                response.actionIdentifier.UTF8String);
  }
  completionHandler();
}

// Shown even while Glimmet is the active application.
- (void)userNotificationCenter:(UNUserNotificationCenter*)center
       willPresentNotification:(UNNotification*)notification
         withCompletionHandler:(void (^)(UNNotificationPresentationOptions))completionHandler {
  completionHandler(UNNotificationPresentationOptionBanner | UNNotificationPresentationOptionList);
}
@end

namespace glimmet {

namespace {

NSString* text(const std::string& value) {
  return [NSString stringWithUTF8String:value.c_str()];
}

UNNotificationActionOptions optionsOf(const DesktopNotificationActionSpec& action) {
  UNNotificationActionOptions options = UNNotificationActionOptionNone;
  if (action.destructive) options |= UNNotificationActionOptionDestructive;
  if (action.foreground) options |= UNNotificationActionOptionForeground;
  return options;
}

// Kept for the process's life: the center holds its delegate weakly.
GlimmetNotificationDelegate* sharedDelegate() {
  static GlimmetNotificationDelegate* delegate = [[GlimmetNotificationDelegate alloc] init];
  return delegate;
}

class UserNotificationService final : public DesktopNotifications {
 public:
  UserNotificationService(MainLoop& loop, DesktopNotificationEvents events, LogSink log)
      : loop_(loop), events_(std::move(events)), log_(std::move(log)) {
    sharedDelegate().onResponse = [this](const std::string& identifier, const std::string& action) {
      respond(identifier, action);
    };
    UNUserNotificationCenter.currentNotificationCenter.delegate = sharedDelegate();
    loop_.post([this] {
      if (events_.serverReady) events_.serverReady();
    });
  }

  ~UserNotificationService() override { sharedDelegate().onResponse = nullptr; }

  bool available() const override { return true; }
  bool supportsActions() const override { return true; }

  void post(const DesktopNotification& notification, Posted posted) override {
    const DesktopNotificationID id = nextID_++;
    const std::string identifier = "glimmet.banner." + std::to_string(id);
    identifiers_[identifier] = id;
    UNMutableNotificationContent* content = [[UNMutableNotificationContent alloc] init];
    content.title = text(notification.title);
    content.body = text(notification.body);
    content.categoryIdentifier = text(notification.category);
    if (notification.urgent) content.sound = UNNotificationSound.defaultSound;
    UNNotificationRequest* request = [UNNotificationRequest requestWithIdentifier:text(identifier)
                                                                          content:content
                                                                          trigger:nil];
    LogSink log = log_;
    MainLoop* loop = &loop_;
    [UNUserNotificationCenter.currentNotificationCenter
        addNotificationRequest:request
         withCompletionHandler:^(NSError* error) {
           const std::string reason = error == nil ? "" : error.localizedDescription.UTF8String;
           loop->post([log, posted, id, reason] {
             if (!reason.empty()) writeLog(log, "[Glimmet] banner post failed: " + reason);
             if (posted) posted(reason.empty() ? std::optional(id) : std::nullopt);
           });
         }];
  }

  void withdraw(DesktopNotificationID id) override {
    for (const auto& [identifier, posted] : identifiers_) {
      if (posted != id) continue;
      NSArray<NSString*>* identifiers = @[ text(identifier) ];
      UNUserNotificationCenter* center = UNUserNotificationCenter.currentNotificationCenter;
      [center removePendingNotificationRequestsWithIdentifiers:identifiers];
      [center removeDeliveredNotificationsWithIdentifiers:identifiers];
      return;
    }
  }

 private:
  void respond(const std::string& identifier, const std::string& action) {
    auto found = identifiers_.find(identifier);
    if (found == identifiers_.end()) return;
    const DesktopNotificationID id = found->second;
    if (action == UNNotificationDismissActionIdentifier.UTF8String) {
      identifiers_.erase(found);
      if (events_.closed) events_.closed(id);
      return;
    }
    const bool clicked = action == UNNotificationDefaultActionIdentifier.UTF8String;
    if (events_.actionInvoked) events_.actionInvoked(id, clicked ? "default" : action);
  }

  MainLoop& loop_;
  DesktopNotificationEvents events_;
  LogSink log_;
  std::map<std::string, DesktopNotificationID> identifiers_;
  DesktopNotificationID nextID_ = 1;
};

}  // namespace

std::unique_ptr<DesktopNotifications> makeDesktopNotifications(MainLoop& loop,
                                                               DesktopNotificationEvents events,
                                                               LogSink log) {
  return std::make_unique<UserNotificationService>(loop, std::move(events), std::move(log));
}

void registerDesktopNotificationCategories(
    const std::vector<DesktopNotificationCategorySpec>& categories, LogSink log) {
  NSMutableSet<UNNotificationCategory*>* registered = [NSMutableSet set];
  for (const auto& category : categories) {
    NSMutableArray<UNNotificationAction*>* actions = [NSMutableArray array];
    for (const auto& action : category.actions) {
      [actions addObject:[UNNotificationAction actionWithIdentifier:text(action.id)
                                                              title:text(action.title)
                                                            options:optionsOf(action)]];
    }
    [registered
        addObject:[UNNotificationCategory
                      categoryWithIdentifier:text(category.id)
                                     actions:actions
                           intentIdentifiers:@[]
                                     options:category.reportsDismiss
                                                 ? UNNotificationCategoryOptionCustomDismissAction
                                                 : UNNotificationCategoryOptionNone]];
  }
  UNUserNotificationCenter* center = UNUserNotificationCenter.currentNotificationCenter;
  center.delegate = sharedDelegate();
  [center setNotificationCategories:registered];
  // Denied: the overlay's panel stays the place to answer; said once per launch.
  [center requestAuthorizationWithOptions:UNAuthorizationOptionAlert | UNAuthorizationOptionSound
                        completionHandler:^(BOOL granted, NSError*) {
                          if (granted) return;
                          [NSOperationQueue.mainQueue addOperationWithBlock:^{
                            writeLog(log, "[Glimmet] notifications are turned off for Glimmet; "
                                          "requests are answered in the panel");
                          }];
                        }];
}

}  // namespace glimmet
