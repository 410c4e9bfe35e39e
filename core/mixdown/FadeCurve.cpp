#include "mixdown/FadeCurve.h"

#include <cmath>

namespace velmora {

namespace {

// The program's own value of pi; the sine curves are defined with it.
constexpr double kPi = 3.1415926535;

double SineOfDegrees(uint32_t degrees) {
  return std::sin(degrees * kPi / 180);
}

// Whole degrees covered after `progress` of `length` frames: 0..89.
uint32_t StepOf(uint64_t progress, uint32_t length) {
  return static_cast<uint32_t>(progress * 90 / length);
}

}  // namespace

uint32_t FadeFrames(int32_t timeMs, uint32_t rate) {
  if (timeMs <= 0) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(timeMs) * rate / 1000);
}

double FadeStepFactor(FadeCurve curve, bool fadeOut, uint32_t step) {
  switch (curve) {
    case FadeCurve::Convex:
      return SineOfDegrees(step + (fadeOut ? 90 : 0));
    case FadeCurve::Concave:
      return SineOfDegrees(step + (fadeOut ? 180 : 270)) + 1;
    case FadeCurve::Linear:
      break;
  }
  return 1.0;
}

double FadeInFactor(FadeCurve curve, uint32_t x, uint32_t length) {
  if (length == 0) return 1.0;
  if (curve == FadeCurve::Linear) return static_cast<double>(x) / length;
  return FadeStepFactor(curve, false, StepOf(x, length));
}

double FadeOutFactor(FadeCurve curve, uint32_t remaining, uint32_t length) {
  if (length == 0) return 1.0;
  if (curve == FadeCurve::Linear) return static_cast<double>(remaining) / length;
  return FadeStepFactor(curve, true, StepOf(length - remaining, length));
}

}  // namespace velmora
