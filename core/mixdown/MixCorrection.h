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
// Appends the runs logged for the frames that follow the log's (a later part of the mix logged
// apart), joining a run that continues the log's last one, so that the log reads as if one
// pass had made both.
void AppendCorrections(std::vector<MixCorrection>& log, const std::vector<MixCorrection>& later);

}  // namespace velmora
