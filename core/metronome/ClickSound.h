#pragma once
// The metronome's sound: the two clicks and where each click of a run starts in the stream.

#include <cstdint>
#include <vector>

namespace velmora {

// Clicks are 8-bit unsigned mono at 11025 Hz, 1102 samples (about 100 ms).
constexpr uint32_t kClickRate = 11025;
constexpr uint32_t kClickSamples = 1102;
// Periods in samples: 500 Hz for the normal click, 1000 Hz for the accent.
constexpr double kNormalClickPeriod = 22.05;
constexpr double kAccentClickPeriod = 11.025;
// Volume slider positions: 0 is loudest, 20 silent.
constexpr int32_t kVolumeSilent = 20;

// Peak amplitude of the clicks at a volume slider position below 20: 6.4 per step, 128 at 0.
double ClickAmplitude(int32_t volumePos);
// One click: a sine of `period` samples under an envelope falling from 1 to nearly 0.
std::vector<uint8_t> MakeClick(double period, double amplitude);

// Stream sample at which click `k` of a run at `tempo` beats per minute starts (click 0 at sample
// 0): k x 60 x 11025 / tempo rounded to the nearest sample, so no rounding accumulates.
constexpr uint64_t ClickStartSample(uint64_t k, int32_t tempo) {
  const uint64_t twice = 2 * k * 60 * kClickRate;
  const auto perMinute = static_cast<uint64_t>(tempo);
  return (twice + perMinute) / (2 * perMinute);
}
// Microseconds from beat 0 to beat `k` at `tempo` beats per minute, rounded: the silent
// metronome's grid.
constexpr int64_t BeatTimeMicros(uint64_t k, int32_t tempo) {
  return static_cast<int64_t>((2 * k * 60000000 + static_cast<uint64_t>(tempo)) /
                              (2 * static_cast<uint64_t>(tempo)));
}

}  // namespace velmora
