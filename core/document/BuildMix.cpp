// The mixdown driver and kernel (not built yet).

#include "document/VelmoraDoc.h"

namespace velmora {

int CVelmoraDoc::BuildMix(uint32_t /*blockFrames*/, int /*runInWorker*/) {
  return 0;
}
int CVelmoraDoc::Mixdown() {
  return 1;
}

}  // namespace velmora
