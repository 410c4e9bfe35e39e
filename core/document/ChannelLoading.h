#pragma once
// Steps of loading a file into a channel that the document's Open and velmora-mix's streaming mix
// share, so that both refuse the same files with the same messages.

#include <string>
#include <vector>

#include "document/CReader.h"
#include "document/ChannelSlot.h"
#include "document/WavReader.h"
#include "seams/AudioDecoder.h"

namespace velmora {

class Ui;

// The program's message for a WAV file the reader refused.
const char* WavErrorMessage(WavError error);

// Decodes the compressed file named by slot.path whole into the slot's data, header and frames.
// `decoder` may be null (the import then fails with NoDecoder).
ImportResult DecodeIntoSlot(AudioDecoder* decoder, const RateRule& rateAccepted, ChannelSlot& slot);
// The boxes an import that stopped at `step` shows, in order: the step's own text, then whether
// opening or reading failed, then the general failure, all with the step's code.
std::vector<std::string> ImportMessages(const ImportResult& result);
// Shows those boxes, then the system's reason when opening `path` failed with one.
void ShowImportMessages(Ui& ui, const ImportResult& result, const std::string& path);

}  // namespace velmora
