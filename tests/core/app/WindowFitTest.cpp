// The main window's client area on the screen's work area: the whole form when it fits, else
// what fits with scroll bars, a bar in one direction taking room from the other.

#include <gtest/gtest.h>

#include "app/WindowFit.h"

namespace velmora {
namespace {

TEST(WindowFitTest, TheFormScrollsWhereTheWorkAreaIsTooSmall) {
  const PixelSize form{620, 500};
  const PixelSize frame{2, 110};  // borders; caption, menu, tool and status bars
  const int bar = 12;
  const struct {
    const char* screen;
    PixelSize area;
    PixelSize client;
    bool across;
    bool down;
  } cases[] = {
      {"1280 x 1024 at scale 1", {1280, 1024}, {620, 500}, false, false},
      {"exactly enough", {622, 610}, {620, 500}, false, false},
      {"1280 x 1024 at scale 2", {640, 512}, {620 + 12, 402}, false, true},
      {"too short, and the bar makes it too narrow", {630, 512}, {628, 402}, true, true},
      {"too narrow only", {600, 1024}, {598, 512}, true, false},
      {"too narrow, and the bar makes it too short", {600, 614}, {598, 504}, true, true},
      {"no room at all", {0, 0}, {1, 1}, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.screen);
    const ClientFit fit = FitClientToWorkArea(form, frame, c.area, bar);
    EXPECT_EQ(fit.client.width, c.client.width);
    EXPECT_EQ(fit.client.height, c.client.height);
    EXPECT_EQ(fit.scrollsAcross, c.across);
    EXPECT_EQ(fit.scrollsDown, c.down);
  }
}

}  // namespace
}  // namespace velmora
