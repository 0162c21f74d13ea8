#include "platform/macos/overlay_view.hpp"

#import <CoreGraphics/CoreGraphics.h>
#import <QuartzCore/QuartzCore.h>

#include "platform/mac_shell_rules.hpp"

@implementation GlimmetPanel
- (BOOL)canBecomeKeyWindow {
  return YES;
}
@end

namespace {

// A copy of the pixels: the buffer behind HostWindowContent lives only for the present call.
CGImageRef imageFromContent(const glimmet::HostWindowContent& content) {
  CFDataRef bytes = CFDataCreate(kCFAllocatorDefault, content.pixels,
                                 static_cast<CFIndex>(content.stride) * content.height);
  CGDataProviderRef provider = CGDataProviderCreateWithCFData(bytes);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGImageRef image = CGImageCreate(
      static_cast<size_t>(content.width), static_cast<size_t>(content.height), 8, 32,
      static_cast<size_t>(content.stride), space,
      static_cast<CGBitmapInfo>(kCGImageAlphaPremultipliedFirst) | kCGBitmapByteOrder32Little,
      provider, nullptr, false, kCGRenderingIntentDefault);
  CGColorSpaceRelease(space);
  CGDataProviderRelease(provider);
  CFRelease(bytes);
  return image;
}

bool contains(const glimmet::PixelRect& rect, NSPoint point) {
  return point.x >= rect.x && point.y >= rect.y && point.x < rect.x + rect.width &&
         point.y < rect.y + rect.height;
}

}  // namespace

@implementation GlimmetOverlayView {
  std::vector<glimmet::PixelRect> _inputRegion;
}

- (instancetype)initWithFrame:(NSRect)frame {
  self = [super initWithFrame:frame];
  if (self) {
    self.wantsLayer = YES;
    NSTrackingArea* area = [[NSTrackingArea alloc]
        initWithRect:NSZeroRect
             options:NSTrackingMouseEnteredAndExited | NSTrackingMouseMoved |
                     NSTrackingActiveAlways | NSTrackingInVisibleRect
               owner:self
            userInfo:nil];
    [self addTrackingArea:area];
  }
  return self;
}

- (BOOL)isFlipped {
  return YES;
}

- (BOOL)acceptsFirstResponder {
  return YES;
}

- (BOOL)acceptsFirstMouse:(NSEvent*)event {
  return YES;
}

- (void)showContent:(const glimmet::HostWindowContent&)content {
  _inputRegion = content.inputRegion;
  CGImageRef image = imageFromContent(content);
  self.layer.contents = (__bridge id)image;
  CGImageRelease(image);
}

// Outside the input region the click goes to the window below.
- (NSView*)hitTest:(NSPoint)point {
  const NSPoint local = [self convertPoint:point fromView:self.superview];
  for (const auto& rect : _inputRegion) {
    if (contains(rect, local)) return self;
  }
  return nil;
}

- (void)forward:(NSEvent*)event kind:(glimmet::HostPointerEvent::Kind)kind button:(int)button {
  if (!_onPointer) return;
  const NSPoint local = [self convertPoint:event.locationInWindow fromView:nil];
  const NSPoint onScreen = NSEvent.mouseLocation;
  const glimmet::PixelRect root =
      glimmet::topLeftRect(glimmet::CocoaRect{onScreen.x, onScreen.y, 0, 0}, _primaryScreenHeight);
  glimmet::HostPointerEvent pointer;
  pointer.kind = kind;
  pointer.x = local.x;
  pointer.y = local.y;
  pointer.rootX = root.x;
  pointer.rootY = root.y;
  pointer.button = button;
  _onPointer(pointer);
}

- (void)mouseDown:(NSEvent*)event {
  [self forward:event kind:glimmet::HostPointerEvent::Kind::press button:1];
}
- (void)mouseUp:(NSEvent*)event {
  [self forward:event kind:glimmet::HostPointerEvent::Kind::release button:1];
}
- (void)rightMouseDown:(NSEvent*)event {
  [self forward:event kind:glimmet::HostPointerEvent::Kind::press button:3];
}
- (void)rightMouseUp:(NSEvent*)event {
  [self forward:event kind:glimmet::HostPointerEvent::Kind::release button:3];
}
- (void)mouseDragged:(NSEvent*)event {
  [self forward:event kind:glimmet::HostPointerEvent::Kind::motion button:0];
}
- (void)mouseMoved:(NSEvent*)event {
  [self forward:event kind:glimmet::HostPointerEvent::Kind::motion button:0];
}
- (void)mouseEntered:(NSEvent*)event {
  [self forward:event kind:glimmet::HostPointerEvent::Kind::enter button:0];
}
- (void)mouseExited:(NSEvent*)event {
  [self forward:event kind:glimmet::HostPointerEvent::Kind::leave button:0];
}
- (void)scrollWheel:(NSEvent*)event {
  if (event.scrollingDeltaY == 0) return;
  [self forward:event
           kind:glimmet::HostPointerEvent::Kind::scroll
         button:event.scrollingDeltaY > 0 ? 4 : 5];
}

- (void)keyDown:(NSEvent*)event {
  if (!_onKey) return;
  NSString* characters = event.characters;
  const char32_t first = characters.length > 0 ? [characters characterAtIndex:0] : 0;
  const NSEventModifierFlags flags = event.modifierFlags;
  glimmet::HostKeyEvent key;
  key.keysym = glimmet::keysymForMacKey(event.keyCode, first);
  key.control = (flags & NSEventModifierFlagControl) != 0;
  key.alt = (flags & NSEventModifierFlagOption) != 0;
  key.shift = (flags & NSEventModifierFlagShift) != 0;
  key.super = (flags & NSEventModifierFlagCommand) != 0;
  // Function keys carry private-use characters, which type nothing.
  if (characters.length > 0 && (first < 0xF700 || first > 0xF8FF) && first >= 0x20 &&
      first != 0x7F) {
    key.text = characters.UTF8String;
  }
  _onKey(key);
}

@end
