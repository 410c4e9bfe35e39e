#include "audio/CaptureClock.h"

#include <cmath>

namespace velmora {

uint32_t CaptureClock::FramesMissedBefore(double captureTime) const {
  if (captureTime <= 0 || next_ <= 0) return 0;
  const double gap = (captureTime - next_) * rate_;
  return gap >= 1 && gap < 1e9 ? static_cast<uint32_t>(std::lround(gap)) : 0;
}

void CaptureClock::Took(double captureTime, uint32_t frames) {
  next_ = captureTime > 0 ? captureTime + static_cast<double>(frames) / rate_ : 0;
}

}  // namespace velmora
