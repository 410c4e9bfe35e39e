// The main window's client area on the screen's work area: the whole form when it fits, else
// what fits with scroll bars, a bar in one direction taking room from the other; and its saved
// position brought onto a work area.

#include <gtest/gtest.h>

#include <climits>
#include <vector>

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

TEST(WindowFitTest, TheSavedPositionIsMovedOnlyAsFarAsTheWorkAreaNeeds) {
  const PixelSize frame{800, 600};
  const std::vector<PixelRect> one = {{0, 0, 1920, 1040}};
  // A second screen right of the first, shorter, its work area below a 24-pixel panel.
  const std::vector<PixelRect> two = {{0, 0, 1920, 1040}, {1920, 24, 1280, 1000}};
  const struct {
    const char* name;
    const std::vector<PixelRect>* areas;
    PixelPoint saved;
    PixelSize frame;
    PixelPoint placed;
  } cases[] = {
      {"on the screen", &one, {120, 80}, frame, {120, 80}},
      {"at the work area's far corner", &one, {1120, 440}, frame, {1120, 440}},
      {"partly off the right and bottom", &one, {1500, 900}, frame, {1120, 440}},
      {"partly off the left and top", &one, {-300, -20}, frame, {0, 0}},
      {"far off", &one, {5000, 5000}, frame, {1120, 440}},
      {"beyond 16 bits", &one, {100000, 100000}, frame, {1120, 440}},
      {"beyond 16 bits, wrapped", &one, {-31072, -31072}, frame, {0, 0}},
      {"at the ends of 32 bits", &one, {INT_MAX, INT_MIN}, frame, {1120, 0}},
      {"larger than the work area", &one, {300, 200}, {2000, 1200}, {0, 0}},
      {"on the second screen", &two, {2000, 100}, frame, {2000, 100}},
      {"mostly on the second screen", &two, {1700, 0}, frame, {1920, 24}},
      {"mostly on the first screen", &two, {1500, 700}, frame, {1120, 440}},
      {"far off to the right: the second screen", &two, {9000, 300}, frame, {2400, 300}},
      {"far off to the left: the first screen", &two, {-9000, 300}, frame, {0, 300}},
      {"no work area known", nullptr, {5000, 5000}, frame, {5000, 5000}},
  };
  const std::vector<PixelRect> none;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PixelPoint placed = KeepOnWorkArea(c.saved, c.frame, c.areas ? *c.areas : none);
    EXPECT_EQ(placed.x, c.placed.x);
    EXPECT_EQ(placed.y, c.placed.y);
  }
}

}  // namespace
}  // namespace velmora
