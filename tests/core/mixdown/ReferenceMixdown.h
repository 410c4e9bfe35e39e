#pragma once
// The mixdown written frame by frame exactly as the mix is defined, with no shortcuts: the
// kernel must give the same bytes, peaks, corrections and cursor.

#include "mixdown/Mixdown.h"

namespace velmora::test {

void ReferenceMixdown(const MixJob& job, const MixTarget& target);

}  // namespace velmora::test
