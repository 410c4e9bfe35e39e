#include "view/TimeText.h"

#include "io/Format.h"

namespace velmora {

namespace {

// frame / rate × scale in floating point, truncated toward zero.
int64_t FrameToUnits(uint32_t frame, double rate, double scale) {
  if (rate <= 0) return 0;
  return static_cast<int64_t>(static_cast<double>(frame) / rate * scale);
}

}  // namespace

std::string FormatPlayTime(uint32_t ms) {
  return Format("%02u:%02u.%03u", ms / 60000, ms % 60000 / 1000, ms % 1000);
}

std::string PositionTimeText(uint32_t frame, uint32_t rate) {
  const long long m = FrameToUnits(frame, rate, 1000.0);
  return Format("%02lld:%02lld.%03lld", m / 60000, m % 60000 / 1000, m % 1000);
}

std::string FormatCorrectionPosition(uint32_t frame, int32_t rate) {
  const long long t = FrameToUnits(frame, rate, 1000000.0);
  return Format("%02lld:%02lld.%06lld", t / 60000000, t % 60000000 / 1000000, t % 1000000);
}

std::string FormatCorrectionLength(uint32_t frames, int32_t rate) {
  const long long u = FrameToUnits(frames, rate, 1000000.0);
  return Format("%lld.%06lld秒", u / 1000000, u % 1000000);
}

}  // namespace velmora
