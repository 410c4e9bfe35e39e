#pragma once
// The capture clock of an input stream as the sound system states it: after a block captured at
// time t, the next one is due at t + frames / rate. A later next block means the sound system
// dropped the frames in between (its overflow), and this tells how many.

#include <cstdint>

namespace velmora {

class CaptureClock {
 public:
  explicit CaptureClock(double rate) : rate_(rate) {}

  // Frames missing before a block captured at `captureTime` seconds: 0 when either time is not
  // known (0 or less), the gap is under a frame, or it is too large to be real.
  uint32_t FramesMissedBefore(double captureTime) const;
  // A block of `frames` frames was captured from `captureTime` on (0 or less: not known).
  void Took(double captureTime, uint32_t frames);

 private:
  double rate_;
  double next_ = 0;  // capture time of the next frame; 0 = not known
};

}  // namespace velmora
