#include "platform/overlay_host.hpp"

#import <AppKit/AppKit.h>

#include <map>

#include "platform/mac_shell_rules.hpp"
#include "platform/macos/carbon_hot_keys.hpp"
#include "platform/macos/cocoa_screens.hpp"
#include "platform/macos/overlay_view.hpp"

// A dialog's close button asks; the owner decides and destroys the window.
@interface GlimmetDialogDelegate : NSObject <NSWindowDelegate>
@property(nonatomic) std::function<void()> onClose;
@end

@implementation GlimmetDialogDelegate
- (BOOL)windowShouldClose:(NSWindow*)sender {
  if (_onClose) _onClose();
  return NO;
}
@end

namespace glimmet {

namespace {

struct HostedWindow {
  NSPanel* panel = nil;
  GlimmetOverlayView* view = nil;
  GlimmetDialogDelegate* dialogDelegate = nil;
};

class MacOverlayHost final : public OverlayHost {
 public:
  MacOverlayHost(Callbacks callbacks, LogSink log)
      : callbacks_(std::move(callbacks)),
        hotKeys_(
            [this](int id) {
              if (callbacks_.hotKey) callbacks_.hotKey(id);
            },
            log) {
    auto changed = ^(NSNotification*) {
      if (callbacks_.screensChanged) callbacks_.screensChanged();
    };
    screenObserver_ = [NSNotificationCenter.defaultCenter
        addObserverForName:NSApplicationDidChangeScreenParametersNotification
                    object:nil
                     queue:NSOperationQueue.mainQueue
                usingBlock:changed];
    spaceObserver_ = [NSWorkspace.sharedWorkspace.notificationCenter
        addObserverForName:NSWorkspaceActiveSpaceDidChangeNotification
                    object:nil
                     queue:NSOperationQueue.mainQueue
                usingBlock:changed];
  }

  ~MacOverlayHost() override {
    [NSNotificationCenter.defaultCenter removeObserver:screenObserver_];
    [NSWorkspace.sharedWorkspace.notificationCenter removeObserver:spaceObserver_];
    for (auto& [id, window] : windows_) [window.panel close];
  }

  std::vector<HostScreen> screens() override { return cocoaScreens(); }

  std::optional<std::pair<int, int>> pointerLocation() override {
    const NSPoint location = NSEvent.mouseLocation;
    const PixelRect point =
        topLeftRect(CocoaRect{location.x, location.y, 0, 0}, primaryScreenHeight());
    return std::make_pair(point.x, point.y);
  }

  std::set<std::string> screensWithFullScreenWindows() override {
    return cocoaScreensWithFullScreenWindows();
  }

  // The window server always composites.
  bool hasCompositor() override { return true; }

  HostWindowID createWindow(const PixelRect& frame) override {
    GlimmetPanel* panel = [[GlimmetPanel alloc]
        initWithContentRect:contentRect(frame)
                  styleMask:NSWindowStyleMaskBorderless | NSWindowStyleMaskNonactivatingPanel
                    backing:NSBackingStoreBuffered
                      defer:NO];
    panel.level = macWindowLevel(MacWindowRole::overlay);
    panel.collectionBehavior =
        NSWindowCollectionBehaviorCanJoinAllSpaces | NSWindowCollectionBehaviorStationary |
        NSWindowCollectionBehaviorIgnoresCycle | NSWindowCollectionBehaviorFullScreenAuxiliary;
    panel.opaque = NO;
    panel.backgroundColor = NSColor.clearColor;
    panel.hasShadow = NO;
    panel.hidesOnDeactivate = NO;
    panel.acceptsMouseMovedEvents = YES;
    return add(panel, nil);
  }

  HostWindowID createDialogWindow(const HostDialogSpec& dialog) override {
    NSPanel* panel =
        [[NSPanel alloc] initWithContentRect:NSMakeRect(0, 0, dialog.width, dialog.height)
                                   styleMask:NSWindowStyleMaskTitled | NSWindowStyleMaskClosable
                                     backing:NSBackingStoreBuffered
                                       defer:NO];
    panel.title = [NSString stringWithUTF8String:dialog.title.c_str()];
    panel.level = macWindowLevel(MacWindowRole::dialog);
    panel.hidesOnDeactivate = NO;
    [panel center];
    GlimmetDialogDelegate* delegate = [[GlimmetDialogDelegate alloc] init];
    const HostWindowID id = add(panel, delegate);
    delegate.onClose = [this, id] {
      if (callbacks_.closeRequested) callbacks_.closeRequested(id);
    };
    return id;
  }

  void setFrame(HostWindowID window, const PixelRect& frame) override {
    if (HostedWindow* hosted = find(window)) {
      // Screens may have been rearranged since the view learnt the primary screen's height.
      hosted->view.primaryScreenHeight = primaryScreenHeight();
      [hosted->panel setFrame:contentRect(frame) display:YES];
    }
  }

  void present(HostWindowID window, const HostWindowContent& content) override {
    if (HostedWindow* hosted = find(window)) [hosted->view showContent:content];
  }

  void setVisible(HostWindowID window, bool visible) override {
    HostedWindow* hosted = find(window);
    if (!hosted) return;
    if (visible) {
      [hosted->panel orderFrontRegardless];
    } else {
      [hosted->panel orderOut:nil];
    }
  }

  void setKeyboardFocus(HostWindowID window, bool focused) override {
    HostedWindow* hosted = find(window);
    if (!hosted) return;
    if (focused) {
      [NSApp activateIgnoringOtherApps:YES];
      [hosted->panel makeKeyAndOrderFront:nil];
    } else if (hosted->panel.isKeyWindow) {
      [NSApp deactivate];
    }
  }

  void destroyWindow(HostWindowID window) override {
    auto found = windows_.find(window);
    if (found == windows_.end()) return;
    found->second.panel.delegate = nil;
    [found->second.panel close];
    windows_.erase(found);
  }

  bool registerHotKey(const HostHotKey& hotKey) override { return hotKeys_.registerHotKey(hotKey); }

 private:
  static NSRect contentRect(const PixelRect& frame) {
    const CocoaRect rect = cocoaRect(frame, primaryScreenHeight());
    return NSMakeRect(rect.x, rect.y, rect.width, rect.height);
  }

  HostWindowID add(NSPanel* panel, GlimmetDialogDelegate* delegate) {
    const HostWindowID id = nextID_++;
    panel.releasedWhenClosed = NO;
    panel.delegate = delegate;
    GlimmetOverlayView* view = [[GlimmetOverlayView alloc] initWithFrame:panel.contentView.bounds];
    view.primaryScreenHeight = primaryScreenHeight();
    view.onPointer = [this, id](const HostPointerEvent& event) {
      if (callbacks_.pointer) callbacks_.pointer(id, event);
    };
    view.onKey = [this, id](const HostKeyEvent& event) {
      if (callbacks_.key) callbacks_.key(id, event);
    };
    panel.contentView = view;
    windows_[id] = HostedWindow{panel, view, delegate};
    return id;
  }

  HostedWindow* find(HostWindowID window) {
    auto found = windows_.find(window);
    return found == windows_.end() ? nullptr : &found->second;
  }

  Callbacks callbacks_;
  CarbonHotKeys hotKeys_;
  id screenObserver_ = nil;
  id spaceObserver_ = nil;
  std::map<HostWindowID, HostedWindow> windows_;
  HostWindowID nextID_ = 1;
};

}  // namespace

std::unique_ptr<OverlayHost> connectOverlayHost(MainLoop&, OverlayHost::Callbacks callbacks,
                                                LogSink log, std::string* error) {
  if (NSApp == nil) {
    if (error) *error = "on macOS the overlay is shown by the Glimmet app";
    return nullptr;
  }
  return std::make_unique<MacOverlayHost>(std::move(callbacks), std::move(log));
}

}  // namespace glimmet
