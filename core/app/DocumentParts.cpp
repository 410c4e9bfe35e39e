#include "app/DocumentParts.h"

namespace velmora {

DocumentParts::DocumentParts(Ui& ui, AudioDecoder* decoder)
    : doc_(ui), documentCommands_(doc_), newCommand_(doc_) {
  doc_.SetAudioDecoder(decoder);
}

}  // namespace velmora
