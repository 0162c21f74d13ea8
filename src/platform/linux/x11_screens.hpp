#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/linux/x11_connection.hpp"
#include "platform/overlay_host.hpp"

namespace glimmet {

// A panel's claim on the top edge of the root window, over the columns startX..endX inclusive.
struct TopStrut {
  int height = 0;
  int startX = 0;
  int endX = 0;
};

// The monitors XRandR reports (active ones with a size), primary first; the whole root window
// as one screen when XRandR has none to offer. `hasMonitors` says whether the server speaks
// XRandR 1.5.
std::vector<HostScreen> readScreens(X11Connection& x, bool hasMonitors);

// The top struts of the mapped client windows (_NET_CLIENT_LIST) that set one.
std::vector<TopStrut> readTopStruts(X11Connection& x);

// How far the struts reach down into `frame`, from the largest one over its columns.
int reservedTopHeight(const std::vector<TopStrut>& struts, const PixelRect& frame);

// Ids of the screens that a mapped client window of another process covers: one in the
// full-screen state covers the screen it overlaps most, any other one a screen whose area it
// covers to at least 98%.
std::set<std::string> readFullScreenScreens(X11Connection& x,
                                            const std::vector<HostScreen>& screens);

}  // namespace glimmet
