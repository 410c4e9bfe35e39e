#pragma once
// Fade settings of a channel or of the whole mix, and the gain factor each curve yields.

#include <array>
#include <cstdint>

namespace velmora {

enum class FadeCurve : int32_t { Convex = 0, Concave = 1, Linear = 2 };

struct FadeSetting {
  FadeCurve curve = FadeCurve::Convex;
  int32_t time = 0;  // milliseconds, 0..100000; 0 = no fade
};

inline bool operator==(const FadeSetting& a, const FadeSetting& b) {
  return a.curve == b.curve && a.time == b.time;
}
inline bool operator!=(const FadeSetting& a, const FadeSetting& b) {
  return !(a == b);
}

// One fade per channel (index 0..3) and one for the whole mix (index kWholeMix).
constexpr int kWholeMix = 4;
using FadeSettings = std::array<FadeSetting, kWholeMix + 1>;
constexpr int32_t kMaxFadeMs = 100000;

// Fade length in output frames: time × rate / 1000 without 32-bit overflow; a time of 0 or below
// gives no fade.
uint32_t FadeFrames(int32_t timeMs, uint32_t rate);

// Factor of one step of a sine curve: the curves are staircases of 90 whole-degree steps, step
// 0..89 counted from the start of the fade. Any curve that is not a sine curve gives 1.
double FadeStepFactor(FadeCurve curve, bool fadeOut, uint32_t step);

// Fade-in factor at x frames into a fade of `length` frames (0 <= x < length).
double FadeInFactor(FadeCurve curve, uint32_t x, uint32_t length);
// Fade-out factor with `remaining` frames left to the end (0 < remaining < length).
double FadeOutFactor(FadeCurve curve, uint32_t remaining, uint32_t length);

}  // namespace velmora
