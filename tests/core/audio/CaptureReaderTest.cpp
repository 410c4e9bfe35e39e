// The input's reading thread against a sound server modelled as PulseAudio behaves: frames arrive
// in periods a little after they are captured, the server keeps a limited queue for a stream that
// is not read and drops what comes after, without a word. Whatever the reader or its owner go
// through (the whole program stopped, the owner late), every frame of the take must lie where it
// was captured, and the silence standing for dropped frames must be exactly as long as they were.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "audio/CaptureReader.h"

namespace velmora {
namespace {

constexpr uint32_t kRate = 44100;
constexpr double kStep = 0.005;             // the reading thread's pause
constexpr uint32_t kPeriod = 551;           // 12.5 ms
constexpr uint32_t kServerKeeps = 1048576;  // 4 MiB of 16-bit stereo
constexpr uint32_t kSilence = 0xFFFFFFFF;

// Frames carry their own capture number (4 bytes a frame, as 16-bit stereo).
class ModelServer : public PolledInput {
 public:
  explicit ModelServer(double lateSeconds) : late_(lateSeconds) {}

  long FramesReady() override {
    Arrive();
    return static_cast<long>(queue_.size());
  }
  int Read(uint8_t* to, uint32_t frames, bool& overflowed) override {
    overflowed = false;
    for (uint32_t i = 0; i < frames; ++i) {
      const uint32_t value = queue_.front();
      queue_.pop_front();
      std::memcpy(to + 4 * i, &value, 4);
    }
    return 0;
  }
  // Frames captured by `now` that the server dropped.
  uint64_t dropped = 0;
  double now = 0;

 private:
  // Periods whose last frame was captured long enough ago have arrived; a full queue drops them.
  void Arrive() {
    while ((next_ + kPeriod) / static_cast<double>(kRate) + late_ <= now) {
      for (uint32_t i = 0; i < kPeriod; ++i, ++next_) {
        if (queue_.size() < kServerKeeps) {
          queue_.push_back(next_);
        } else {
          ++dropped;
        }
      }
    }
  }
  double late_;
  uint32_t next_ = 0;
  std::deque<uint32_t> queue_;
};

// The owner: takes what it is handed into a ring of `room` frames, emptied at its ticks.
class Take : public InputStreamCallback {
 public:
  void Capture(const uint8_t* in, uint32_t frames) override {
    for (uint32_t i = 0; i < frames; ++i) {
      uint32_t value = 0;
      std::memcpy(&value, in + 4 * i, 4);
      frames_.push_back(value);
    }
    pending += frames;
  }
  void Overflowed(uint32_t frames) override {
    frames_.insert(frames_.end(), frames, kSilence);
    silence += frames;
  }
  uint32_t FramesWanted() const override { return room > pending ? room - pending : 0; }

  std::vector<uint32_t> frames_;
  uint64_t silence = 0;
  uint32_t room = 128 * 2048;  // the recorder's ring
  uint32_t pending = 0;
};

struct Stall {
  double from = 0;
  double seconds = 0;
  bool readerToo = true;  // the whole program stops, not only the owner
};

struct Recording {
  Take take;
  ModelServer server{0.004};
  double finishedAt = 0;
};

// Runs the reading thread and the owner (a tick every 46 ms) for `seconds`, with one stall.
void RunFor(Recording& run, double seconds, const Stall& stall,
            std::optional<double> finishAt = {}) {
  WaveFormat format{};
  format.channels = 2;
  format.bitsPerSample = 16;
  format.blockAlign = 4;
  format.samplesPerSec = kRate;
  CaptureReader reader(run.server, run.take, format);
  double nextTick = 0;
  for (double now = 0.5; now < seconds; now += kStep) {
    const bool stalled = now >= stall.from && now < stall.from + stall.seconds;
    run.server.now = now;
    if (!stalled || !stall.readerToo) {
      if (finishAt && now >= *finishAt) reader.FinishAt(*finishAt);
      while (reader.Turn(now)) {
      }
      ASSERT_EQ(reader.failure(), 0);
      if (reader.finished()) {
        run.finishedAt = now;
        return;
      }
    }
    if (!stalled && now >= nextTick) {
      run.take.pending = 0;
      nextTick = now + 0.046;
    }
  }
}

// Every frame of the take lies within 10 ms of its capture number less the first one's, but for
// `spared` frames next to a gap; the silence is as long as what the server dropped.
void ExpectInTime(const Recording& run, uint32_t spared) {
  const std::vector<uint32_t>& take = run.take.frames_;
  ASSERT_FALSE(take.empty());
  const uint32_t first = take.front();
  uint64_t misplaced = 0;
  int64_t worst = 0;  // after the last silence
  for (size_t t = 0; t < take.size(); ++t) {
    if (take[t] == kSilence) {
      worst = 0;
      continue;
    }
    const int64_t off = static_cast<int64_t>(take[t] - first) - static_cast<int64_t>(t);
    if (std::abs(off) > kRate / 100) ++misplaced;
    worst = std::max(worst, std::abs(off));
  }
  EXPECT_LE(misplaced, spared);
  EXPECT_LE(worst, kRate / 100) << "later frames lie within 10 ms of their place";
  EXPECT_NEAR(static_cast<double>(run.take.silence), static_cast<double>(run.server.dropped),
              kRate * 0.002);
}

// The whole program stopped (the reader with it), or only the owner late while the reader goes on
// reading into its queue.
TEST(CaptureReaderTest, StallsLeaveEveryLaterFrameInItsPlace) {
  struct Case {
    const char* name;
    double stallSeconds;
    bool readerToo;
    bool drops;
  };
  const Case cases[] = {
      {"no stall", 0, true, false},
      {"program 3 s: the server keeps it all", 3, true, false},
      {"program 20 s", 20, true, false},
      {"program 30 s: 6 s dropped", 30, true, true},
      {"program 60 s: 36 s dropped", 60, true, true},
      {"owner 7.5 s, past its ring", 7.5, false, false},
      {"owner 60 s: the queue and the server hold it", 60, false, false},
      {"owner 80 s: beyond both", 80, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Recording run;
    RunFor(run, 5 + c.stallSeconds + 5, Stall{3, c.stallSeconds, c.readerToo});
    EXPECT_EQ(run.server.dropped > 0, c.drops);
    // Frames read while the reader catches up after the gap came before it was known.
    ExpectInTime(run, c.drops ? kRate / 50 : 0);
  }
}

TEST(CaptureReaderTest, FinishingHandsEveryFrameCapturedBeforeTheTimeAndNoLater) {
  struct Case {
    const char* name;
    double finishAt;
    Stall stall;
    double wait;  // seconds the last frames may take to be handed
  };
  const Case cases[] = {
      {"steady", 4.0, Stall{}, 0.05},
      // Stopped while the lag after a hold-up settles: what the server kept is not left behind,
      // though the owner needs a few ticks to take it all.
      {"just after a 30 s stop", 33.2, Stall{3, 30, true}, 0.25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Recording run;
    RunFor(run, c.finishAt + 5, c.stall, c.finishAt);
    ASSERT_GT(run.finishedAt, 0);
    EXPECT_LT(run.finishedAt - c.finishAt, c.wait);
    const double lastCaptured = run.take.frames_.back() / static_cast<double>(kRate);
    EXPECT_NEAR(lastCaptured, c.finishAt, 0.01);
    EXPECT_NEAR(static_cast<double>(run.take.frames_.size()), lastCaptured * kRate, kRate * 0.01)
        << "every frame in time, the lost ones as silence";
  }
}

}  // namespace
}  // namespace velmora
