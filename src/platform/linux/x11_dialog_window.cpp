#include "platform/linux/x11_dialog_window.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace glimmet {

namespace {

unsigned int extent(int value) {
  return static_cast<unsigned int>(std::max(value, 1));
}

// A fixed size, and the position asked for, which window managers honour for dialogs only
// when the program says it chose it.
void setSizeHints(Display* display, Window window, const PixelRect& frame) {
  XSizeHints* hints = XAllocSizeHints();
  if (!hints) return;
  hints->flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
  hints->x = frame.x;
  hints->y = frame.y;
  hints->width = hints->min_width = hints->max_width = frame.width;
  hints->height = hints->min_height = hints->max_height = frame.height;
  XSetWMNormalHints(display, window, hints);
  XFree(hints);
}

}  // namespace

X11DialogWindow::X11DialogWindow(X11Connection& x, const PixelRect& frame, const std::string& title,
                                 XIM im)
    : x_(x), frame_(frame) {
  Display* display = x_.display();
  const int screen = x_.screen();
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.border_pixel = 0;
  attributes.event_mask = EnterWindowMask | LeaveWindowMask | PointerMotionMask | ButtonPressMask |
                          ButtonReleaseMask | KeyPressMask | KeyReleaseMask | ExposureMask |
                          StructureNotifyMask | FocusChangeMask;
  window_ = XCreateWindow(display, x_.root(), frame.x, frame.y, extent(frame.width),
                          extent(frame.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                          CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
  gc_ = XCreateGC(display, window_, 0, nullptr);

  XStoreName(display, window_, title.c_str());
  x_.setUTF8(window_, x_.atom("_NET_WM_NAME"), title);
  XClassHint classHint;
  classHint.res_name = const_cast<char*>("glimmet");
  classHint.res_class = const_cast<char*>("glimmet");
  XSetClassHint(display, window_, &classHint);
  XWMHints hints{};
  hints.flags = InputHint | StateHint;
  hints.input = True;
  hints.initial_state = NormalState;
  XSetWMHints(display, window_, &hints);
  setSizeHints(display, window_, frame);
  Atom deleteWindow = x_.atom("WM_DELETE_WINDOW");
  XSetWMProtocols(display, window_, &deleteWindow, 1);
  x_.setNumbers(window_, x_.atom("_NET_WM_WINDOW_TYPE"), XA_ATOM,
                {x_.atom("_NET_WM_WINDOW_TYPE_DIALOG")});
  x_.setNumbers(window_, x_.atom("_NET_WM_STATE"), XA_ATOM, {x_.atom("_NET_WM_STATE_ABOVE")});
  x_.setNumbers(window_, x_.atom("_NET_WM_PID"), XA_CARDINAL,
                {static_cast<unsigned long>(::getpid())});

  if (im) {
    ic_ = XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, window_,
                    XNFocusWindow, window_, nullptr);
  }
  if (ic_) {
    // The input method may need events of its own (key releases, for instance).
    long filtered = 0;
    XGetICValues(ic_, XNFilterEvents, &filtered, nullptr);
    XSelectInput(display, window_, attributes.event_mask | filtered);
  }
  XMapRaised(display, window_);
}

X11DialogWindow::~X11DialogWindow() {
  if (x_.isLost()) return;
  if (ic_) XDestroyIC(ic_);
  XFreeGC(x_.display(), gc_);
  XDestroyWindow(x_.display(), window_);
}

void X11DialogWindow::setFrame(const PixelRect& frame) {
  if (x_.isLost() || frame == frame_) return;
  frame_ = frame;
  setSizeHints(x_.display(), window_, frame);
  XMoveResizeWindow(x_.display(), window_, frame.x, frame.y, extent(frame.width),
                    extent(frame.height));
}

void X11DialogWindow::setVisible(bool visible) {
  if (x_.isLost() || visible == visible_) return;
  visible_ = visible;
  if (visible) {
    XMapRaised(x_.display(), window_);
  } else {
    XUnmapWindow(x_.display(), window_);
  }
}

void X11DialogWindow::focus() {
  if (x_.isLost() || !visible_) return;
  Display* display = x_.display();
  // A window manager is asked to activate it; without one the focus is simply set. Either
  // fails harmlessly (BadMatch) while the window is not viewable yet.
  XEvent activate{};
  activate.xclient.type = ClientMessage;
  activate.xclient.window = window_;
  activate.xclient.message_type = x_.atom("_NET_ACTIVE_WINDOW");
  activate.xclient.format = 32;
  activate.xclient.data.l[0] = 1;  // from an application
  activate.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, x_.root(), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &activate);
  x_.collectErrors([&] {
    XRaiseWindow(display, window_);
    XSetInputFocus(display, window_, RevertToParent, CurrentTime);
  });
}

void X11DialogWindow::focusChanged(bool focused) {
  if (!ic_ || x_.isLost()) return;
  if (focused) {
    XSetICFocus(ic_);
  } else {
    XUnsetICFocus(ic_);
  }
}

void X11DialogWindow::present(const HostWindowContent& content) {
  if (x_.isLost()) return;
  if (content.pixels && content.width > 0 && content.height > 0 &&
      content.stride >= content.width * 4) {
    pictureWidth_ = content.width;
    pictureHeight_ = content.height;
    picture_.resize(static_cast<size_t>(content.width) * content.height);
    for (int y = 0; y < content.height; ++y) {
      std::memcpy(picture_.data() + static_cast<size_t>(y) * content.width,
                  content.pixels + static_cast<size_t>(y) * content.stride,
                  static_cast<size_t>(content.width) * 4);
    }
    repaint();
  }
  x_.setUTF8(window_, x_.atom("_GLIMMET_STATE"), content.stateJson);
}

void X11DialogWindow::repaint() {
  if (x_.isLost() || picture_.empty()) return;
  Display* display = x_.display();
  const int screen = x_.screen();
  XImage* image = XCreateImage(display, DefaultVisual(display, screen),
                               static_cast<unsigned int>(DefaultDepth(display, screen)), ZPixmap, 0,
                               reinterpret_cast<char*>(picture_.data()),
                               static_cast<unsigned int>(pictureWidth_),
                               static_cast<unsigned int>(pictureHeight_), 32, pictureWidth_ * 4);
  if (!image) return;
  // The pixels are in this machine's byte order; Xlib swaps them when the server's differs.
  const uint32_t probe = 1;
  unsigned char firstByte = 0;
  std::memcpy(&firstByte, &probe, 1);
  image->byte_order = firstByte == 1 ? LSBFirst : MSBFirst;
  XPutImage(display, window_, gc_, image, 0, 0, 0, 0, static_cast<unsigned int>(pictureWidth_),
            static_cast<unsigned int>(pictureHeight_));
  image->data = nullptr;  // the picture stays ours
  XDestroyImage(image);
}

}  // namespace glimmet
