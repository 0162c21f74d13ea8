#pragma once

// Objective-C++ only: the panel and view of one overlay or dialog window.

#import <AppKit/AppKit.h>

#include <functional>
#include <vector>

#include "platform/overlay_host.hpp"

// A borderless panel still takes the keyboard when the text panel or the settings ask for it.
@interface GlimmetPanel : NSPanel
@end

// Shows the view core's pixels as its layer's contents and forwards the pointer and the keys.
// Its coordinates run from the top left, as the view core's do.
@interface GlimmetOverlayView : NSView
@property(nonatomic) std::function<void(const glimmet::HostPointerEvent&)> onPointer;
@property(nonatomic) std::function<void(const glimmet::HostKeyEvent&)> onKey;
// The primary screen's height, for the pointer's position on the whole desktop.
@property(nonatomic) double primaryScreenHeight;
- (void)showContent:(const glimmet::HostWindowContent&)content;
@end
