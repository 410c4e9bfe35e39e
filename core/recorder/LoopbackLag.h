#pragma once
// Measures the round trip of a take recorded along the playback when the take holds the played
// sound (a loopback, or a microphone that hears the speakers): the lag at which the take's
// samples best match the played ones. A take that does not hold them gives no figure, and the
// recorder falls back to the latency the sound system reports.

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

// played[i] is the sample of the i-th played frame (one side), take[t] that of the t-th take
// frame, at the same rate. Returns the lag L (0..maxLag frames) at which take[t] follows
// played[t - L] most closely over `window` frames, when their normalized correlation there is
// at least minCorrelation; nothing when the samples are too short or no lag matches.
std::optional<uint32_t> FindLoopbackLag(const std::vector<int32_t>& played,
                                        const std::vector<int32_t>& take, uint32_t maxLag,
                                        uint32_t window, double minCorrelation = 0.8);

}  // namespace velmora
