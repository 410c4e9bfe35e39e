// Saving the mix, the marks stretch and single channels (not built yet).

#include "document/VelmoraDoc.h"

namespace velmora {

void CVelmoraDoc::OnFileSave() {}
void CVelmoraDoc::SaveMixAs() {}
bool CVelmoraDoc::SaveMix() {
  return false;
}
void CVelmoraDoc::SaveBetweenMarks() {}
bool CVelmoraDoc::SaveChannel(int /*index*/) {
  return false;
}

}  // namespace velmora
