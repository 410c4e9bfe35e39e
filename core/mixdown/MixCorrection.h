#pragma once
// One run of consecutive output frames that the mixdown had to clamp to the sample range.

#include <cstdint>
#include <vector>

namespace velmora {

struct MixCorrection {
  uint32_t start = 0;  // first clamped frame
  uint32_t count = 0;  // number of consecutive clamped frames
};

// Appends frame f to the log: extends the last run when f directly follows it, otherwise starts
// a new run. On allocation failure the log keeps its previous content.
void RecordCorrection(std::vector<MixCorrection>& log, uint32_t frame);

}  // namespace velmora
