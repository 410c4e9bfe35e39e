#include "metronome/ClickSound.h"

#include <cmath>

namespace velmora {

namespace {
// The program's pi, to ten decimals; the clicks are computed with it.
constexpr double kPi = 3.1415926535;
}  // namespace

double ClickAmplitude(int32_t volumePos) {
  return (kVolumeSilent - volumePos) * 128 / 20.0;
}

std::vector<uint8_t> MakeClick(double period, double amplitude) {
  std::vector<uint8_t> click(kClickSamples);
  for (uint32_t i = 0; i < kClickSamples; ++i) {
    const double envelope = 1 + std::sin(kPi * (180 + 90 * i / 1102.5) / 180);
    const double tone = std::sin(kPi * (360 * i / period) / 180);
    click[i] = static_cast<uint8_t>(static_cast<int32_t>(tone * (envelope * amplitude) + 128));
  }
  return click;
}

}  // namespace velmora
