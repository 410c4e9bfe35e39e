#pragma once
// The ranges of a channel's mixer parameters, as the kernel reads them and the panel sets them.

#include <cstdint>

namespace velmora {

constexpr int32_t kLevelMax = 200;  // level slider: 0 = loudest, 200 = silent
constexpr int32_t kDefaultLevel = 100;
constexpr int32_t kBalanceMax = 20;  // balance slider: 0 = full left, 20 = full right
constexpr int32_t kBalanceCentre = 10;
constexpr int32_t kOffsetMaxMs = 3600000;  // offset field: 0..this in the panel

}  // namespace velmora
