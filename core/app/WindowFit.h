#pragma once
// How large the main window may be: the form at its full size when the screen's work area holds
// it, else as much of it as the area holds, scrolled. At a display scale of 2 a 1280 x 1024
// screen is 640 x 512 to the program, smaller than the form. And where it goes: on a work area,
// whatever position was saved.

#include <vector>

namespace velmora {

struct PixelSize {
  int width = 0;
  int height = 0;
};

struct PixelPoint {
  int x = 0;
  int y = 0;
};

// A screen's work area: the part not taken by panels and docks.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct ClientFit {
  PixelSize client;  // the window's client area
  bool scrollsAcross = false;
  bool scrollsDown = false;
};

// The client size for `content` in a window whose frame adds `decorations` (caption, borders,
// menu, tool and status bars) on a work area of `area`. A direction that does not fit scrolls,
// and its scroll bar of `scrollBar` pixels takes room from the other direction.
ClientFit FitClientToWorkArea(PixelSize content, PixelSize decorations, PixelSize area,
                              int scrollBar);

// The top-left corner for a frame of `frame` saved at `saved`: moved as little as needed to lie
// wholly on the work area it overlaps most, or, off every screen (a screen since removed, a
// settings file from another machine), on the nearest one; at that area's top-left corner in a
// direction the area is too small for. `saved` as it stands when no area is known.
PixelPoint KeepOnWorkArea(PixelPoint saved, PixelSize frame, const std::vector<PixelRect>& areas);

}  // namespace velmora
