#pragma once
// The countdown's beep: 0.3 s of a 1000 Hz sine at 44100 Hz, 8-bit unsigned mono, whose
// amplitude falls from 64 to 0 along a quarter sine.

#include <cstdint>
#include <vector>

namespace velmora {

constexpr uint32_t kBeepSamples = 13230;
constexpr uint32_t kBeepRate = 44100;

// Sample i = trunc(sin(2π i / 44.1) × 64 × (1 − sin(90° × i / 13230)) + 128).
std::vector<uint8_t> MakeBeepBuffer();

}  // namespace velmora
