// Mono conversion, trimming and release of a channel (not built yet).

#include "document/VelmoraDoc.h"

namespace velmora {

bool CVelmoraDoc::ConvertToMono(int /*index*/) {
  return false;
}
void CVelmoraDoc::TrimToMarks(int /*index*/) {}
void CVelmoraDoc::ReleaseChannel(int /*index*/) {}

}  // namespace velmora
