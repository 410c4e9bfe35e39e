#include "recorder/CountdownBeep.h"

#include <cmath>

namespace velmora {

std::vector<uint8_t> MakeBeepBuffer() {
  constexpr double kPi = 3.14159265358979323846;
  std::vector<uint8_t> beep(kBeepSamples);
  for (uint32_t i = 0; i < kBeepSamples; ++i) {
    const double tone = std::sin(2 * kPi * i / 44.1);
    const double envelope = 1 - std::sin(kPi / 2 * i / kBeepSamples);
    beep[i] = static_cast<uint8_t>(std::trunc(tone * 64 * envelope + 128));
  }
  return beep;
}

}  // namespace velmora
