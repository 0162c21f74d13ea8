#include "platform/linux/x11_screens.hpp"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <optional>

namespace glimmet {

namespace {

constexpr double kFullScreenCoverage = 0.98;

long long overlapArea(const PixelRect& a, const PixelRect& b) {
  const long long left = std::max(a.x, b.x);
  const long long top = std::max(a.y, b.y);
  const long long right =
      std::min(static_cast<long long>(a.x) + a.width, static_cast<long long>(b.x) + b.width);
  const long long bottom =
      std::min(static_cast<long long>(a.y) + a.height, static_cast<long long>(b.y) + b.height);
  return right > left && bottom > top ? (right - left) * (bottom - top) : 0;
}

bool isViewable(X11Connection& x, Window window, XWindowAttributes* attributes) {
  return XGetWindowAttributes(x.display(), window, attributes) != 0 &&
         attributes->map_state == IsViewable;
}

std::optional<TopStrut> topStrutOf(X11Connection& x, Window window) {
  const auto partial = x.numbers(window, x.atom("_NET_WM_STRUT_PARTIAL"));
  if (partial.size() >= 12) {
    if (partial[2] == 0) return std::nullopt;
    TopStrut strut{static_cast<int>(partial[2]), static_cast<int>(partial[8]),
                   static_cast<int>(partial[9])};
    // Some panels leave the range at zero; they mean the whole width.
    if (strut.startX == 0 && strut.endX == 0) strut.endX = INT_MAX;
    return strut;
  }
  const auto whole = x.numbers(window, x.atom("_NET_WM_STRUT"));
  if (whole.size() >= 4 && whole[2] > 0) return TopStrut{static_cast<int>(whole[2]), 0, INT_MAX};
  return std::nullopt;
}

}  // namespace

std::vector<HostScreen> readScreens(X11Connection& x, bool hasMonitors) {
  std::vector<HostScreen> screens;
  if (x.isLost()) return screens;
  if (hasMonitors) {
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(x.display(), x.root(), True, &count);
    for (int i = 0; monitors && i < count; ++i) {
      const XRRMonitorInfo& monitor = monitors[i];
      if (monitor.width <= 0 || monitor.height <= 0) continue;
      HostScreen screen;
      if (char* name = XGetAtomName(x.display(), monitor.name)) {
        screen.id = name;
        XFree(name);
      }
      screen.name = screen.id;
      screen.frame = {monitor.x, monitor.y, monitor.width, monitor.height};
      screen.primary = monitor.primary != 0;
      screens.push_back(std::move(screen));
    }
    if (monitors) XRRFreeMonitors(monitors);
  }
  if (screens.empty() && !x.isLost()) {
    HostScreen whole;
    whole.id = "screen";
    whole.name = "screen";
    whole.frame = {0, 0, DisplayWidth(x.display(), x.screen()),
                   DisplayHeight(x.display(), x.screen())};
    whole.primary = true;
    screens.push_back(std::move(whole));
  }
  std::stable_partition(screens.begin(), screens.end(),
                        [](const HostScreen& screen) { return screen.primary; });
  const auto struts = readTopStruts(x);
  for (HostScreen& screen : screens)
    screen.topReservedHeight = reservedTopHeight(struts, screen.frame);
  return screens;
}

std::vector<TopStrut> readTopStruts(X11Connection& x) {
  std::vector<TopStrut> struts;
  // Client windows may vanish between the list and the question; their errors are expected.
  x.collectErrors([&] {
    for (unsigned long window : x.numbers(x.root(), x.atom("_NET_CLIENT_LIST"))) {
      auto strut = topStrutOf(x, window);
      XWindowAttributes attributes;
      if (strut && isViewable(x, window, &attributes)) struts.push_back(*strut);
    }
  });
  return struts;
}

int reservedTopHeight(const std::vector<TopStrut>& struts, const PixelRect& frame) {
  int reserved = 0;
  const long long lastColumn = static_cast<long long>(frame.x) + frame.width - 1;
  for (const TopStrut& strut : struts) {
    if (strut.endX < frame.x || strut.startX > lastColumn) continue;
    reserved = std::max(reserved, std::clamp(strut.height - frame.y, 0, frame.height));
  }
  return reserved;
}

std::set<std::string> readFullScreenScreens(X11Connection& x,
                                            const std::vector<HostScreen>& screens) {
  std::set<std::string> covered;
  const Atom stateAtom = x.atom("_NET_WM_STATE");
  const Atom fullScreenAtom = x.atom("_NET_WM_STATE_FULLSCREEN");
  const Atom pidAtom = x.atom("_NET_WM_PID");
  const auto ownPid = static_cast<unsigned long>(::getpid());
  x.collectErrors([&] {
    for (unsigned long window : x.numbers(x.root(), x.atom("_NET_CLIENT_LIST"))) {
      XWindowAttributes attributes;
      if (!isViewable(x, window, &attributes)) continue;
      const auto pid = x.numbers(window, pidAtom);
      if (!pid.empty() && pid[0] == ownPid) continue;
      int rootX = 0;
      int rootY = 0;
      Window child = None;
      if (!XTranslateCoordinates(x.display(), window, x.root(), 0, 0, &rootX, &rootY, &child)) {
        continue;
      }
      const PixelRect bounds{rootX, rootY, attributes.width, attributes.height};
      if (bounds.width <= 0 || bounds.height <= 0) continue;
      const auto states = x.numbers(window, stateAtom);
      const bool fullScreen =
          std::find(states.begin(), states.end(), fullScreenAtom) != states.end();
      const HostScreen* most = nullptr;
      long long mostArea = 0;
      for (const HostScreen& screen : screens) {
        const long long screenArea =
            static_cast<long long>(screen.frame.width) * screen.frame.height;
        if (screenArea <= 0) continue;
        const long long area = overlapArea(bounds, screen.frame);
        if (static_cast<double>(area) >= kFullScreenCoverage * static_cast<double>(screenArea))
          covered.insert(screen.id);
        if (area > mostArea) {
          mostArea = area;
          most = &screen;
        }
      }
      if (fullScreen && most) covered.insert(most->id);
    }
  });
  return covered;
}

}  // namespace glimmet
