#pragma once
// Whether two loaded channels are the same: header image, data chunk, samples, levels and flags.

#include "document/ChannelSlot.h"

namespace velmora::test {

// Adds a test failure for every difference (the paths may differ).
void ExpectSameChannel(const ChannelSlot& actual, const ChannelSlot& expected);

}  // namespace velmora::test
