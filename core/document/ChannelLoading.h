#pragma once
// Loading a file into a channel, one way for the document's Open and velmora-mix's streaming mix,
// so that both read the same files the same way and refuse the others with the same messages.

#include <functional>
#include <string>
#include <vector>

#include "document/CReader.h"
#include "document/ChannelSlot.h"
#include "document/WavReader.h"
#include "seams/AudioDecoder.h"

namespace velmora {

class Ui;

// The reader a file goes to, by the last three characters of its name in any case: "WAV" to the
// WAV reader, "WMA" to the compressed import through the decoder; any other name is refused. The
// reader then judges the content.
enum class ChannelFileKind { Wav, Compressed, Other };
ChannelFileKind KindOfChannelFile(const std::string& path);

// Reads the WAV file named by slot.path into the slot's header, data chunk and frames, with its
// samples either whole into slot.data or left in the file; in the latter case it sets
// slot.autoLevel from the samples on disk.
using WavChannelReader = std::function<WavResult(const RateRule& rateAccepted, ChannelSlot& slot)>;

// Loads the file named by slot.path into `slot` with the reader its name chooses (`readWav` for a
// WAV file, `decoder` for a compressed one, which may be null), accepting its rate by
// `rateAccepted`. A failure shows the reader's message and the system's reason on `ui`. A loaded
// slot holds the file's format, frames and automatic level, and stands as a load leaves it: at
// its automatic level, centred, at offset 0, in use and selected.
bool LoadChannelFile(Ui& ui, AudioDecoder* decoder, const RateRule& rateAccepted,
                     const WavChannelReader& readWav, ChannelSlot& slot);

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
