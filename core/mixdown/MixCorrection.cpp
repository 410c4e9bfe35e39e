#include "mixdown/MixCorrection.h"

#include <new>

namespace velmora {

namespace {

// Adds `run` to the log, joining it to the last run when it directly follows. False when the
// memory for a new run is not there; the log keeps what it had and the mix is unaffected.
bool AppendRun(std::vector<MixCorrection>& log, const MixCorrection& run) {
  if (!log.empty() && run.start == log.back().start + log.back().count) {
    log.back().count += run.count;
    return true;
  }
  try {
    log.push_back(run);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

void RecordCorrection(std::vector<MixCorrection>& log, uint32_t frame) {
  AppendRun(log, {frame, 1});
}

void AppendCorrections(std::vector<MixCorrection>& log, const std::vector<MixCorrection>& later) {
  for (const MixCorrection& run : later) {
    if (!AppendRun(log, run)) return;
  }
}

}  // namespace velmora
