// Compressed-audio import: not available yet, so such a load fails like an unreadable file.

#include "app/Ui.h"
#include "document/VelmoraDoc.h"

namespace velmora {

bool CVelmoraDoc::ImportCompressed(int /*index*/) {
  ui_.ShowError(msg::kReadFailed);
  return false;
}

}  // namespace velmora
