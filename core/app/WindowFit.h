#pragma once
// How large the main window may be: the form at its full size when the screen's work area holds
// it, else as much of it as the area holds, scrolled. At a display scale of 2 a 1280 x 1024
// screen is 640 x 512 to the program, smaller than the form.

namespace velmora {

struct PixelSize {
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

}  // namespace velmora
