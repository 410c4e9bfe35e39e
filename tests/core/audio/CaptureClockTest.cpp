// The capture clock counts the frames a jump in the input's capture time holds, and nothing when
// the sound system states no time or the jump is jitter or nonsense.

#include <gtest/gtest.h>

#include "audio/CaptureClock.h"

namespace velmora {
namespace {

TEST(CaptureClockTest, CountsTheFramesAJumpInCaptureTimeHolds) {
  constexpr double kRate = 48000;
  struct Case {
    const char* name;
    double firstTime;   // the block of 480 frames before
    double secondTime;  // the block asked about
    uint32_t missed;
  };
  const Case cases[] = {
      {"on time", 1.0, 1.01, 0},
      {"half a frame late: jitter", 1.0, 1.01 + 0.5 / kRate, 0},
      {"1024 frames late", 1.0, 1.01 + 1024 / kRate, 1024},
      {"early", 1.0, 1.005, 0},
      {"no time before", 0.0, 1.01 + 1024 / kRate, 0},
      {"no time now", 1.0, 0.0, 0},
      {"a clock that jumped by a day", 1.0, 86401.0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CaptureClock clock(kRate);
    EXPECT_EQ(clock.FramesMissedBefore(c.firstTime), 0u) << "nothing is known before a block";
    clock.Took(c.firstTime, 480);
    EXPECT_EQ(clock.FramesMissedBefore(c.secondTime), c.missed);
  }
}

}  // namespace
}  // namespace velmora
