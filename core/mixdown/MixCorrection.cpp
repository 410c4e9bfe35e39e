#include "mixdown/MixCorrection.h"

#include <new>

namespace velmora {

void RecordCorrection(std::vector<MixCorrection>& log, uint32_t frame) {
  if (!log.empty() && frame == log.back().start + log.back().count) {
    ++log.back().count;
    return;
  }
  try {
    log.push_back({frame, 1});
  } catch (const std::bad_alloc&) {
    // The log keeps what it had; the mix itself is unaffected.
  }
}

void AppendCorrections(std::vector<MixCorrection>& log, const std::vector<MixCorrection>& later) {
  for (const MixCorrection& run : later) {
    if (!log.empty() && run.start == log.back().start + log.back().count) {
      log.back().count += run.count;
      continue;
    }
    try {
      log.push_back(run);
    } catch (const std::bad_alloc&) {
      return;  // as RecordCorrection: the log keeps what it had
    }
  }
}

}  // namespace velmora
