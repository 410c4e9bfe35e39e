#include "mixer/FadeCurve.h"

namespace velmora {

uint32_t FadeFrames(int32_t timeMs, uint32_t rate) {
  return static_cast<uint32_t>(static_cast<uint64_t>(timeMs) * rate / 1000);
}
double FadeInFactor(FadeCurve, uint32_t, uint32_t) {
  return 1.0;
}
double FadeOutFactor(FadeCurve, uint32_t, uint32_t) {
  return 1.0;
}

}  // namespace velmora
