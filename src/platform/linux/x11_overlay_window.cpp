#include "platform/linux/x11_overlay_window.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/linux/x11_alpha_shape.hpp"

namespace glimmet {

namespace {

std::vector<XRectangle> toXRectangles(const std::vector<PixelRect>& rects) {
  std::vector<XRectangle> result;
  result.reserve(rects.size());
  for (const PixelRect& rect : rects) {
    if (rect.width <= 0 || rect.height <= 0) continue;
    result.push_back({static_cast<short>(std::clamp(rect.x, -32768, 32767)),
                      static_cast<short>(std::clamp(rect.y, -32768, 32767)),
                      static_cast<unsigned short>(std::min(rect.width, 65535)),
                      static_cast<unsigned short>(std::min(rect.height, 65535))});
  }
  return result;
}

unsigned int extent(int value) {
  return static_cast<unsigned int>(std::max(value, 1));
}

}  // namespace

X11OverlayWindow::X11OverlayWindow(X11Connection& x, const PixelRect& frame)
    : x_(x), frame_(frame) {
  Display* display = x_.display();
  XVisualInfo info;
  XSetWindowAttributes attributes{};
  unsigned long mask = CWOverrideRedirect | CWBorderPixel | CWBackPixel | CWEventMask;
  if (XMatchVisualInfo(display, x_.screen(), 32, TrueColor, &info)) {
    visual_ = info.visual;
    depth_ = 32;
    colormap_ = XCreateColormap(display, x_.root(), visual_, AllocNone);
    attributes.colormap = colormap_;
    mask |= CWColormap;
  } else {
    // No alpha on this server: the bounding shape alone keeps the corners out.
    visual_ = DefaultVisual(display, x_.screen());
    depth_ = DefaultDepth(display, x_.screen());
  }
  attributes.override_redirect = True;
  attributes.border_pixel = 0;
  attributes.background_pixel = 0;
  attributes.event_mask = EnterWindowMask | LeaveWindowMask | PointerMotionMask | ButtonPressMask |
                          ButtonReleaseMask | KeyPressMask | ExposureMask | StructureNotifyMask;
  window_ = XCreateWindow(display, x_.root(), frame.x, frame.y, extent(frame.width),
                          extent(frame.height), 0, depth_, InputOutput, visual_, mask, &attributes);
  gc_ = XCreateGC(display, window_, 0, nullptr);

  XStoreName(display, window_, "Glimmet");
  x_.setUTF8(window_, x_.atom("_NET_WM_NAME"), "Glimmet");
  XClassHint classHint;
  classHint.res_name = const_cast<char*>("glimmet");
  classHint.res_class = const_cast<char*>("Glimmet");
  XSetClassHint(display, window_, &classHint);
  XWMHints hints{};
  hints.flags = InputHint;
  hints.input = False;
  XSetWMHints(display, window_, &hints);
  x_.setNumbers(window_, x_.atom("_NET_WM_WINDOW_TYPE"), XA_ATOM,
                {x_.atom("_NET_WM_WINDOW_TYPE_DOCK")});
  x_.setNumbers(window_, x_.atom("_NET_WM_STATE"), XA_ATOM,
                {x_.atom("_NET_WM_STATE_ABOVE"), x_.atom("_NET_WM_STATE_STICKY")});
  x_.setNumbers(window_, x_.atom("_NET_WM_PID"), XA_CARDINAL,
                {static_cast<unsigned long>(::getpid())});

  // Nothing is drawn yet: take no clicks and show nothing until the first picture.
  XShapeCombineRectangles(display, window_, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
  XShapeCombineRectangles(display, window_, ShapeBounding, 0, 0, nullptr, 0, ShapeSet, Unsorted);
  XMapRaised(display, window_);
}

X11OverlayWindow::~X11OverlayWindow() {
  if (x_.isLost()) return;
  XFreeGC(x_.display(), gc_);
  XDestroyWindow(x_.display(), window_);
  if (colormap_) XFreeColormap(x_.display(), colormap_);
}

void X11OverlayWindow::setFrame(const PixelRect& frame) {
  if (x_.isLost() || frame == frame_) return;
  frame_ = frame;
  XMoveResizeWindow(x_.display(), window_, frame.x, frame.y, extent(frame.width),
                    extent(frame.height));
}

void X11OverlayWindow::setVisible(bool visible) {
  if (x_.isLost() || visible == visible_) return;
  visible_ = visible;
  if (visible) {
    XMapRaised(x_.display(), window_);
  } else {
    XUnmapWindow(x_.display(), window_);
  }
}

void X11OverlayWindow::present(const HostWindowContent& content, bool clipToPicture) {
  if (x_.isLost()) return;
  Display* display = x_.display();
  const bool hasPicture = content.pixels && content.width > 0 && content.height > 0 &&
                          content.stride >= content.width * 4;
  if (hasPicture) {
    pictureWidth_ = content.width;
    pictureHeight_ = content.height;
    picture_.resize(static_cast<size_t>(content.width) * content.height);
    for (int y = 0; y < content.height; ++y) {
      std::memcpy(picture_.data() + static_cast<size_t>(y) * content.width,
                  content.pixels + static_cast<size_t>(y) * content.stride,
                  static_cast<size_t>(content.width) * 4);
    }
    visibleParts_ =
        visibleRectangles(content.pixels, content.width, content.height, content.stride);
    repaint();
  }

  const auto input = toXRectangles(content.inputRegion);
  XserverRegion region = XFixesCreateRegion(display, const_cast<XRectangle*>(input.data()),
                                            static_cast<int>(input.size()));
  XFixesSetWindowShapeRegion(display, window_, ShapeInput, 0, 0, region);
  XFixesDestroyRegion(display, region);

  clipped_ = clipToPicture;
  applyBoundingShape();
  x_.setUTF8(window_, x_.atom("_GLIMMET_STATE"), content.stateJson);
}

void X11OverlayWindow::setClippedToPicture(bool clipToPicture) {
  if (x_.isLost() || clipToPicture == clipped_) return;
  clipped_ = clipToPicture;
  applyBoundingShape();
}

void X11OverlayWindow::applyBoundingShape() {
  if (clipped_) {
    auto parts = toXRectangles(visibleParts_);
    XShapeCombineRectangles(x_.display(), window_, ShapeBounding, 0, 0, parts.data(),
                            static_cast<int>(parts.size()), ShapeSet, Unsorted);
  } else {
    XShapeCombineMask(x_.display(), window_, ShapeBounding, 0, 0, None, ShapeSet);
  }
}

void X11OverlayWindow::repaint() {
  if (x_.isLost() || picture_.empty()) return;
  XImage* image = XCreateImage(x_.display(), visual_, static_cast<unsigned int>(depth_), ZPixmap, 0,
                               reinterpret_cast<char*>(picture_.data()),
                               static_cast<unsigned int>(pictureWidth_),
                               static_cast<unsigned int>(pictureHeight_), 32, pictureWidth_ * 4);
  if (!image) return;
  // The pixels are in this machine's byte order; Xlib swaps them when the server's differs.
  const uint32_t probe = 1;
  unsigned char firstByte = 0;
  std::memcpy(&firstByte, &probe, 1);
  image->byte_order = firstByte == 1 ? LSBFirst : MSBFirst;
  XPutImage(x_.display(), window_, gc_, image, 0, 0, 0, 0, static_cast<unsigned int>(pictureWidth_),
            static_cast<unsigned int>(pictureHeight_));
  image->data = nullptr;  // the picture stays ours
  XDestroyImage(image);
}

}  // namespace glimmet
