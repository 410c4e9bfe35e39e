#pragma once
// An input's frames against a steady clock. Read as fast as they come, the frames a stream hands
// over follow the clock at its rate, late by a lag that only jitters with the sound system's
// periods; the least lag over a second stays put. When the reader was held up (the process
// stopped, the machine swapping, a reader with no room for more), the sound system keeps what it
// can and drops the rest without a word (PulseAudio keeps 4 MiB of a stream nobody reads, then
// drops what comes after): once the reader has caught up, the least lag has grown by exactly the
// frames dropped. The frames captured since the reader came back are the last ones read, so the
// gap lies that many frames before the end of what was read.
//
// Times are seconds of a steady clock; frames count from the stream's first read, gaps included.
// One thread only (the input's reading thread).

#include <cstdint>
#include <optional>

namespace velmora {

class CaptureClock {
 public:
  // Frames the sound system dropped, to be put before frame `at` (a frame number, gaps counted).
  struct Gap {
    uint64_t at = 0;
    uint32_t frames = 0;
  };

  explicit CaptureClock(double rate);

  // `frames` frames were read at `now`; `overflowed` when the library said it lost some.
  void Read(double now, uint32_t frames, bool overflowed = false);
  // At `now` the stream held nothing more to read.
  void Drained(double now);
  // The reader is about to look at the stream at `now`: after a hold-up (no read and nothing
  // found drained for a while) the frames from here on may lie on both sides of an unsaid gap, so
  // they are held until the gap is known.
  void Looking(double now);
  // Frames from holdFrom() on are held while this is true.
  bool Holding() const { return holding_; }
  uint64_t holdFrom() const { return holdFrom_; }
  // The reader cannot keep holding (its queue is full): the gap, if one is found, goes no earlier
  // than `firstFree`, the first frame not held any more.
  void StopHolding(uint64_t firstFree);
  // Once the reader has caught up and the lag has settled (or at once with `now`, when the reader
  // is finishing and cannot wait): the gap found (if any); the hold ends either way. Counts the
  // gap's frames as read.
  std::optional<Gap> TakeGap(bool now = false);
  bool Placing() const { return placing_; }

  // The number the frame captured at `time` has (or will have); nothing before the lag is known.
  std::optional<uint64_t> FrameAt(double time) const;
  // Frames read so far, gaps included.
  uint64_t frames() const { return frames_; }

  // No read and no drained stream for this long is a hold-up.
  static constexpr double kHoldUpSeconds = 0.2;
  // Seconds over which the least lag is taken, before a hold-up and after catching up.
  static constexpr double kLagWindowSeconds = 0.5;
  // Growth of the lag below this is jitter, not a gap.
  static constexpr double kLeastGapSeconds = 0.003;

 private:
  bool LagKnown() const;
  double LeastLag() const;  // LagKnown() only
  void NoteLag(double now, double lag);
  void BeginPlacing(double now, bool atHoldFrom);

  double rate_;
  uint64_t frames_ = 0;
  double lastProgress_ = 0;  // time of the last read or drained look; 0 = none yet
  bool anyProgress_ = false;

  // Least lag (frames) over the current window and the one before it.
  double windowStart_ = 0;
  std::optional<double> windowLeast_;
  std::optional<double> previousLeast_;

  bool holding_ = false;
  bool placing_ = false;          // a hold-up is being measured (held or not)
  bool placeAtHoldFrom_ = false;  // the library told where: the gap goes before holdFrom_
  uint64_t holdFrom_ = 0;
  uint64_t notBefore_ = 0;
  double backAt_ = 0;                  // when the reader came back
  double referenceLag_ = 0;            // least lag before the hold-up
  std::optional<double> settleStart_;  // first drained look after catching up
  std::optional<double> settledLeast_;
  double lastDrained_ = 0;
};

}  // namespace velmora
