// Declarations only, for the syntax-and-types check of the macOS sources: the part of AppKit
// they use, with the signatures of Apple's documentation.
#pragma once

#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>

@class CALayer, NSColor, NSEvent, NSGraphicsContext, NSScreen, NSView, NSWindow;

typedef CGPoint NSPoint;
typedef CGSize NSSize;
typedef CGRect NSRect;
extern const NSPoint NSZeroPoint;
extern const NSRect NSZeroRect;
NSRect NSMakeRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h);
BOOL NSIsEmptyRect(NSRect aRect);

typedef struct NSEdgeInsets {
  CGFloat top;
  CGFloat left;
  CGFloat bottom;
  CGFloat right;
} NSEdgeInsets;

@interface NSResponder : NSObject
@property(readonly) BOOL acceptsFirstResponder;
- (void)mouseDown:(NSEvent*)event;
- (void)mouseUp:(NSEvent*)event;
- (void)rightMouseDown:(NSEvent*)event;
- (void)rightMouseUp:(NSEvent*)event;
- (void)mouseDragged:(NSEvent*)event;
- (void)mouseMoved:(NSEvent*)event;
- (void)mouseEntered:(NSEvent*)event;
- (void)mouseExited:(NSEvent*)event;
- (void)scrollWheel:(NSEvent*)event;
- (void)keyDown:(NSEvent*)event;
@end

typedef NS_OPTIONS(NSUInteger, NSEventModifierFlags) {
  NSEventModifierFlagShift = 1 << 17,
  NSEventModifierFlagControl = 1 << 18,
  NSEventModifierFlagOption = 1 << 19,
  NSEventModifierFlagCommand = 1 << 20,
};
typedef NS_ENUM(NSUInteger, NSEventType) { NSEventTypeApplicationDefined = 15 };

@interface NSEvent : NSObject
@property(class, readonly) NSPoint mouseLocation;
@property(readonly) NSPoint locationInWindow;
@property(readonly) CGFloat scrollingDeltaY;
@property(readonly) unsigned short keyCode;
@property(readonly, copy) NSString* characters;
@property(readonly) NSEventModifierFlags modifierFlags;
+ (NSEvent*)otherEventWithType:(NSEventType)type
                      location:(NSPoint)location
                 modifierFlags:(NSEventModifierFlags)flags
                     timestamp:(NSTimeInterval)time
                  windowNumber:(NSInteger)wNum
                       context:(NSGraphicsContext*)unusedPassNil
                       subtype:(short)subtype
                         data1:(NSInteger)d1
                         data2:(NSInteger)d2;
@end

typedef NS_OPTIONS(NSUInteger, NSTrackingAreaOptions) {
  NSTrackingMouseEnteredAndExited = 0x01,
  NSTrackingMouseMoved = 0x02,
  NSTrackingActiveAlways = 0x80,
  NSTrackingInVisibleRect = 0x200,
};
@interface NSTrackingArea : NSObject
- (instancetype)initWithRect:(NSRect)rect
                     options:(NSTrackingAreaOptions)options
                       owner:(id)owner
                    userInfo:(NSDictionary*)userInfo;
@end

@interface NSView : NSResponder
- (instancetype)initWithFrame:(NSRect)frameRect;
@property BOOL wantsLayer;
@property(strong) CALayer* layer;
@property(readonly, getter=isFlipped) BOOL flipped;
@property NSRect bounds;
@property(readonly, assign) NSView* superview;
- (NSView*)hitTest:(NSPoint)point;
- (NSPoint)convertPoint:(NSPoint)point fromView:(NSView*)view;
- (void)addTrackingArea:(NSTrackingArea*)trackingArea;
- (BOOL)acceptsFirstMouse:(NSEvent*)event;
@end

@interface NSColor : NSObject
@property(class, strong, readonly) NSColor* clearColor;
@end

@interface NSScreen : NSObject
@property(class, readonly, copy) NSArray<NSScreen*>* screens;
@property(readonly) NSRect frame;
@property(readonly) NSRect visibleFrame;
@property(readonly) CGFloat backingScaleFactor;
@property(readonly, copy) NSDictionary<NSString*, id>* deviceDescription;
@property(readonly, copy) NSString* localizedName;
@property(readonly) NSEdgeInsets safeAreaInsets API_AVAILABLE(macos(12.0));
@property(readonly) NSRect auxiliaryTopLeftArea API_AVAILABLE(macos(12.0));
@property(readonly) NSRect auxiliaryTopRightArea API_AVAILABLE(macos(12.0));
@end

typedef NS_OPTIONS(NSUInteger, NSWindowStyleMask) {
  NSWindowStyleMaskBorderless = 0,
  NSWindowStyleMaskTitled = 1 << 0,
  NSWindowStyleMaskClosable = 1 << 1,
  NSWindowStyleMaskNonactivatingPanel = 1 << 7,
};
typedef NS_ENUM(NSUInteger, NSBackingStoreType) { NSBackingStoreBuffered = 2 };
typedef NS_OPTIONS(NSUInteger, NSWindowCollectionBehavior) {
  NSWindowCollectionBehaviorCanJoinAllSpaces = 1 << 0,
  NSWindowCollectionBehaviorStationary = 1 << 4,
  NSWindowCollectionBehaviorIgnoresCycle = 1 << 6,
  NSWindowCollectionBehaviorFullScreenAuxiliary = 1 << 8,
};
typedef NSInteger NSWindowLevel;

@protocol NSWindowDelegate <NSObject>
@optional
- (BOOL)windowShouldClose:(NSWindow*)sender;
@end

@interface NSWindow : NSResponder
- (instancetype)initWithContentRect:(NSRect)contentRect
                          styleMask:(NSWindowStyleMask)style
                            backing:(NSBackingStoreType)backingStoreType
                              defer:(BOOL)flag;
@property(copy) NSString* title;
@property NSWindowLevel level;
@property NSWindowCollectionBehavior collectionBehavior;
@property(getter=isOpaque) BOOL opaque;
@property(copy) NSColor* backgroundColor;
@property BOOL hasShadow;
@property BOOL hidesOnDeactivate;
@property BOOL acceptsMouseMovedEvents;
@property(getter=isReleasedWhenClosed) BOOL releasedWhenClosed;
@property(weak) id<NSWindowDelegate> delegate;
@property(strong) NSView* contentView;
@property(readonly) BOOL canBecomeKeyWindow;
@property(readonly, getter=isKeyWindow) BOOL keyWindow;
- (void)setFrame:(NSRect)frameRect display:(BOOL)flag;
- (void)center;
- (void)orderFrontRegardless;
- (void)orderOut:(id)sender;
- (void)makeKeyAndOrderFront:(id)sender;
- (void)close;
@end

@interface NSPanel : NSWindow
@end

typedef NS_ENUM(NSInteger, NSApplicationActivationPolicy) {
  NSApplicationActivationPolicyRegular = 0,
  NSApplicationActivationPolicyAccessory = 1,
};

typedef NS_ENUM(NSUInteger, NSApplicationTerminateReply) {
  NSTerminateCancel = 0,
};

@class NSApplication;
@protocol NSApplicationDelegate <NSObject>
@optional
- (void)applicationDidFinishLaunching:(NSNotification*)notification;
- (NSApplicationTerminateReply)applicationShouldTerminate:(NSApplication*)sender;
@end

@interface NSApplication : NSResponder
@property(class, readonly, strong) NSApplication* sharedApplication;
@property(weak) id<NSApplicationDelegate> delegate;
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
- (void)run;
- (void)stop:(id)sender;
- (void)postEvent:(NSEvent*)event atStart:(BOOL)flag;
- (void)activateIgnoringOtherApps:(BOOL)flag;
- (void)deactivate;
@end
extern NSApplication* NSApp;
extern const NSNotificationName NSApplicationDidChangeScreenParametersNotification;

@interface NSWorkspace : NSObject
@property(class, readonly, strong) NSWorkspace* sharedWorkspace;
@property(readonly, strong) NSNotificationCenter* notificationCenter;
@end
extern const NSNotificationName NSWorkspaceActiveSpaceDidChangeNotification;
