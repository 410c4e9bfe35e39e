// The round trip found in a take that holds the played sound.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "recorder/LoopbackLag.h"

namespace velmora {
namespace {

std::vector<int32_t> Noise(size_t n, uint32_t seed) {
  std::vector<int32_t> v(n);
  uint32_t s = seed;
  for (int32_t& x : v) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    x = static_cast<int16_t>(s >> 16) / 4;
  }
  return v;
}

std::vector<int32_t> Clicks(size_t n) {
  std::vector<int32_t> v(n, 0);
  for (size_t at = 1000; at + 100 < n; at += 11025) {
    for (size_t i = at; i < at + 100; ++i) v[i] = 16000;
  }
  return v;
}

// The take: silence for `lag` frames, then the played samples at `gain`, plus `noise`.
std::vector<int32_t> Delayed(const std::vector<int32_t>& played, uint32_t lag, double gain,
                             const std::vector<int32_t>& noise) {
  std::vector<int32_t> take(played.size(), 0);
  for (size_t t = lag; t < take.size(); ++t) {
    take[t] = static_cast<int32_t>(played[t - lag] * gain) + noise[t] / 20;
  }
  return take;
}

TEST(LoopbackLagTest, FindsTheLagOfThePlayedSoundInTheTake) {
  const size_t n = 44100 * 3;
  const std::vector<int32_t> hiss = Noise(n, 99);
  struct Case {
    const char* name;
    std::vector<int32_t> played;
    uint32_t lag;
    double gain;
  };
  for (const Case& c :
       {Case{"noise", Noise(n, 7), 1650, 0.5}, Case{"clicks", Clicks(n), 37, 0.3},
        Case{"no delay", Noise(n, 8), 0, 1.0}, Case{"the longest", Noise(n, 9), 22048, 0.8}}) {
    EXPECT_EQ(FindLoopbackLag(c.played, Delayed(c.played, c.lag, c.gain, hiss), 22050, 88200),
              std::optional<uint32_t>(c.lag))
        << c.name;
  }
}

TEST(LoopbackLagTest, ATakeThatDoesNotHoldThePlayedSoundGivesNoFigure) {
  const size_t n = 44100 * 3;
  EXPECT_EQ(FindLoopbackLag(Noise(n, 1), Noise(n, 2), 22050, 88200), std::nullopt);
  EXPECT_EQ(FindLoopbackLag(Noise(n, 1), std::vector<int32_t>(n, 0), 22050, 88200), std::nullopt);
  EXPECT_EQ(FindLoopbackLag(Noise(1000, 1), Noise(1000, 1), 22050, 88200), std::nullopt)
      << "too short";
}

}  // namespace
}  // namespace velmora
