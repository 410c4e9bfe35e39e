#include <gtest/gtest.h>

#include <cmath>

#include "mixdown/FadeCurve.h"

namespace velmora {
namespace {

double Sine(int degrees) {
  return std::sin(degrees * 3.1415926535 / 180);
}

TEST(FadeCurve, LengthsInOutputFrames) {
  EXPECT_EQ(FadeFrames(1000, 44100), 44100u);
  EXPECT_EQ(FadeFrames(1, 44100), 44u);
  EXPECT_EQ(FadeFrames(100000, 96000), 9600000u);  // the product passes 32 bits
  EXPECT_EQ(FadeFrames(100000, 192000), 19200000u);
  EXPECT_EQ(FadeFrames(0, 44100), 0u);
  EXPECT_EQ(FadeFrames(-5, 44100), 0u);
}

struct FactorCase {
  FadeCurve curve;
  bool fadeOut;
  uint32_t distance;  // x for a fade-in, remaining frames for a fade-out
  uint32_t length;
  double expected;
};

TEST(FadeCurve, FactorsAtTheEndsAndInTheMiddle) {
  const FactorCase cases[] = {
      {FadeCurve::Linear, false, 22050, 44100, 0.5},
      {FadeCurve::Linear, false, 0, 44100, 0.0},
      {FadeCurve::Linear, true, 11025, 44100, 0.25},
      {FadeCurve::Convex, false, 0, 1000, 0.0},
      {FadeCurve::Convex, false, 999, 1000, Sine(89)},        // ≈ 0.99985
      {FadeCurve::Concave, false, 999, 1000, Sine(359) + 1},  // ≈ 0.98255
      {FadeCurve::Convex, true, 1000, 1000, Sine(90)},
      {FadeCurve::Convex, true, 1, 1000, Sine(179)},       // ≈ 0.01745
      {FadeCurve::Concave, true, 1, 1000, Sine(269) + 1},  // ≈ 0.00015
      {FadeCurve::Concave, true, 999, 1000, Sine(180) + 1},
      {FadeCurve::Convex, false, 500, 1000, Sine(45)},
      {static_cast<FadeCurve>(3), false, 10, 1000, 1.0},
      {static_cast<FadeCurve>(-1), true, 10, 1000, 1.0},
      {FadeCurve::Linear, false, 5, 0, 1.0},  // no length, no fade
  };
  for (const FactorCase& c : cases) {
    const double factor = c.fadeOut ? FadeOutFactor(c.curve, c.distance, c.length)
                                    : FadeInFactor(c.curve, c.distance, c.length);
    EXPECT_EQ(factor, c.expected) << "curve " << static_cast<int>(c.curve) << " out " << c.fadeOut
                                  << " at " << c.distance << "/" << c.length;
  }
  EXPECT_NEAR(FadeInFactor(FadeCurve::Convex, 999, 1000), 0.99985, 1e-5);
  EXPECT_NEAR(FadeInFactor(FadeCurve::Concave, 999, 1000), 0.98255, 1e-5);
  EXPECT_NEAR(FadeInFactor(FadeCurve::Concave, 0, 1000), 0.0, 1e-12);
  EXPECT_NEAR(FadeOutFactor(FadeCurve::Convex, 1, 1000), 0.01745, 1e-5);
  EXPECT_NEAR(FadeOutFactor(FadeCurve::Concave, 1, 1000), 0.00015, 1e-5);
}

TEST(FadeCurve, SineCurvesAreNinetyWholeDegreeSteps) {
  // Shorter than 90 frames, the angle jumps: F = 45 gives 0, 2, 4, ... 88 degrees.
  for (uint32_t x = 0; x < 45; ++x) {
    EXPECT_EQ(FadeInFactor(FadeCurve::Convex, x, 45), Sine(2 * static_cast<int>(x))) << x;
  }
  // Longer, each degree is held: with F = 900 frames 0..9 share 0 degrees, 10..19 one degree.
  EXPECT_EQ(FadeInFactor(FadeCurve::Convex, 9, 900), 0.0);
  EXPECT_EQ(FadeInFactor(FadeCurve::Convex, 10, 900), Sine(1));
  EXPECT_EQ(FadeOutFactor(FadeCurve::Convex, 890, 900), Sine(91));
  EXPECT_EQ(FadeOutFactor(FadeCurve::Convex, 891, 900), Sine(90));
}

}  // namespace
}  // namespace velmora
