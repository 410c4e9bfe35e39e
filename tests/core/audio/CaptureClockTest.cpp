// The capture clock against a stream read every 5 ms whose frames arrive in 10 ms periods a few
// milliseconds late: a library that says it lost frames, or a reader held up while frames were
// dropped, gets a gap exactly as long as what was lost, placed where the frames after it begin;
// jitter and hold-ups the sound system rode out get none.

#include <gtest/gtest.h>

#include <cmath>

#include "audio/CaptureClock.h"

namespace velmora {
namespace {

constexpr double kRate = 48000;
constexpr uint32_t kPeriod = 480;

// Feeds `clock` a stream's reads from `from` to `to` seconds; frames captured in [dropFrom,
// dropTo) never arrive, and the reader is held up over [holdFrom, holdTo).
struct Stream {
  double dropFrom = 0;
  double dropTo = 0;
  double holdFrom = 0;
  double holdTo = 0;
  bool libraryTells = false;  // the read after the drop says frames were lost
  uint64_t captured = 0;      // frames captured so far (arrived or not)
  uint64_t arrived = 0;       // frames handed to the reader so far
  bool lost = false;          // frames were dropped since the last read

  void Run(CaptureClock& clock, double from, double to) {
    for (double now = from; now < to; now += 0.005) {
      if (now >= holdFrom && now < holdTo) continue;
      clock.Looking(now);
      uint64_t ready = 0;
      // Periods captured by now - 3 ms have arrived (those dropped are gone).
      while ((captured + kPeriod) / kRate + 0.003 <= now) {
        const double at = captured / kRate;
        if (at >= dropFrom && at < dropTo) {
          lost = true;
        } else {
          ready += kPeriod;
        }
        captured += kPeriod;
      }
      if (ready == 0) {
        clock.Drained(now);
        continue;
      }
      clock.Read(now, static_cast<uint32_t>(ready), lost && libraryTells);
      lost = false;
      arrived += ready;
      clock.Drained(now);
    }
  }
};

TEST(CaptureClockTest, FindsWhatWasLostAndWhereTheFramesAfterItBegin) {
  struct Case {
    const char* name;
    Stream stream;
    uint32_t gap;     // frames
    double placedAt;  // seconds of capture where the frames after the gap begin
  };
  const Case cases[] = {
      {"nothing lost", Stream{}, 0, 0},
      {"a hold-up the server rode out", Stream{0, 0, 2.0, 3.0}, 0, 0},
      {"the library says it lost 0.25 s", Stream{2.0, 2.25, 0, 0, true}, 12000, 2.25},
      {"held up 3 s, the last 1.5 s dropped", Stream{3.5, 5.0, 2.0, 5.0}, 72000, 5.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CaptureClock clock(kRate);
    Stream stream = c.stream;
    stream.Run(clock, 0.01, 8.0);
    uint64_t gapFrames = 0;
    std::optional<CaptureClock::Gap> gap = clock.TakeGap();
    if (gap) gapFrames = gap->frames;
    EXPECT_FALSE(clock.Holding());
    EXPECT_NEAR(static_cast<double>(gapFrames), c.gap, kRate * 0.001);
    if (c.gap != 0 && gap) {
      // Frame numbers count from the first read, which held the frames captured in the first
      // period.
      EXPECT_NEAR(static_cast<double>(gap->at), c.placedAt * kRate - c.gap, kRate * 0.005);
      EXPECT_EQ(clock.frames(), stream.arrived + gap->frames);
    }
  }
}

TEST(CaptureClockTest, FramesCapturedAtATimeAreKnownOnceTheLagIs) {
  CaptureClock clock(kRate);
  EXPECT_FALSE(clock.FrameAt(1.0)) << "nothing read yet";
  Stream stream;
  stream.Run(clock, 0.01, 3.0);
  const std::optional<uint64_t> frame = clock.FrameAt(2.5);
  ASSERT_TRUE(frame);
  // The stream's first frames were captured at 0; the clock's numbers agree within a period.
  EXPECT_NEAR(static_cast<double>(*frame), 2.5 * kRate, kPeriod);
}

}  // namespace
}  // namespace velmora
