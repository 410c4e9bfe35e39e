#pragma once
// The reading side of an input that the program reads itself (a sound library read on request,
// not by callback): a thread of the backend calls Turn over and over. Each turn reads what the
// stream holds into a queue and hands the input callback as much of the queue as it has room for,
// so a late owner loses nothing while the queue lasts and the sound system is always read
// promptly. The capture clock keeps the frames in time: a gap the sound system left unsaid is
// handed on as lost frames (InputStreamCallback::Overflowed) at its place among the frames.
//
// Everything here runs on the reading thread, except where a member says otherwise.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "audio/CaptureClock.h"
#include "seams/AudioBackend.h"

namespace velmora {

// What the reading thread asks of an input stream read on request.
class PolledInput {
 public:
  virtual ~PolledInput() = default;
  // Frames a read would return without waiting, or the library's (negative) error.
  virtual long FramesReady() = 0;
  // Reads `frames` frames of the stream's format into `to`: 0 or the library's error.
  // `overflowed` is set when the library says it lost frames before these.
  virtual int Read(uint8_t* to, uint32_t frames, bool& overflowed) = 0;
};

class CaptureReader {
 public:
  // The queue holds `queueSeconds` of the format (at least a read's worth). Throws
  // std::bad_alloc when it cannot be had. `input` and `callback` must outlive the reader.
  CaptureReader(PolledInput& input, InputStreamCallback& callback, const WaveFormat& format,
                double queueSeconds = kQueueSeconds);

  // One turn at `now` (seconds of a steady clock). True when the next turn should follow at once,
  // false when the thread should wait a little first (nothing to read, or nowhere to put it).
  bool Turn(double now);
  // The library's error once a read failed (no further turn does anything), else 0.
  int failure() const { return failure_; }

  // Frames captured from `time` on are not handed over; finished() becomes true once every
  // frame captured before it has been (at once when the clock does not know the lag yet: then
  // what has been read is all there is).
  void FinishAt(double time);
  bool finished() const { return finished_; }
  // Finishing, with frames to hand and no room for them at the callback.
  bool stuck() const { return stuck_; }

  // A turn reads once at least this much is ready, so that it does not spin on a trickle.
  static constexpr double kLeastReadSeconds = 0.010;
  // Enough for everything PulseAudio keeps of a stream that is not read (4 MiB) at 48 kHz and
  // the frames that follow it while the reader catches up.
  static constexpr double kQueueSeconds = 40.0;

 private:
  // A gap in the numbering of the frames read (not counting gaps).
  struct DueGap {
    uint64_t at = 0;
    uint32_t frames = 0;
  };

  // Hands the queue on up to frame `limit` (as read), with the gaps due among it, as far as the
  // callback has room.
  void Hand(uint64_t limit);
  void Read(double now, long ready);
  // The first frame (as read) that may not be handed yet.
  uint64_t HandLimit() const;
  uint64_t HoldFrom() const;  // as read
  void TakeGap(bool now = false);

  PolledInput& input_;
  InputStreamCallback& callback_;
  uint32_t frameBytes_;
  uint32_t leastRead_;
  CaptureClock clock_;
  std::unique_ptr<uint8_t[]> queue_;  // a ring of whole frames: frame n (as read) at n mod capacity
  uint64_t capacity_;                 // frames
  uint64_t read_ = 0;                 // frames read (gaps not counted)
  uint64_t handed_ = 0;               // frames handed (gaps not counted)
  uint64_t gapFrames_ = 0;            // frames of the gaps found so far
  std::deque<DueGap> gaps_;
  std::optional<double> finishTime_;
  std::optional<uint64_t> finishFrame_;  // as read
  bool finished_ = false;
  bool stuck_ = false;
  int failure_ = 0;
};

}  // namespace velmora
