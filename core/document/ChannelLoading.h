#pragma once
// Loading a file into a channel, one way for the document's Open and velmora-mix's streaming mix,
// so that both read the same files the same way and refuse the others with the same messages.

#include <functional>
#include <string>

#include "document/ChannelSlot.h"
#include "document/WavReader.h"
#include "io/Failure.h"
#include "seams/AudioDecoder.h"

namespace velmora {

// The reader a file goes to, by the last three characters of its name in any case: "WAV" to the
// WAV reader, "WMA" to the compressed import through the decoder; any other name is refused. The
// reader then judges the content.
enum class ChannelFileKind { Wav, Compressed, Other };
ChannelFileKind KindOfChannelFile(const std::string& path);

// Reads the WAV file named by slot.path into the slot's header, data chunk and frames, with its
// samples either whole into slot.data or left in the file; in the latter case it sets
// slot.autoLevel from the samples on disk.
using WavChannelReader = std::function<Result(const RateRule& rateAccepted, ChannelSlot& slot)>;

// Loads the file named by slot.path into `slot` with the reader its name chooses (`readWav` for a
// WAV file, `decoder` for a compressed one, which may be null), accepting its rate by
// `rateAccepted`. Shows nothing: a failure names the file (slot.path) and says why, for the caller
// to show. A loaded slot holds the file's format, frames and automatic level, and stands as a load
// leaves it: at its automatic level, centred, at offset 0, in use and selected.
Result LoadChannelFile(AudioDecoder* decoder, const RateRule& rateAccepted,
                       const WavChannelReader& readWav, ChannelSlot& slot);

// Decodes the compressed file named by slot.path whole into the slot's data, header and frames.
// `decoder` may be null (the import then fails with NoDecoder).
Result DecodeIntoSlot(AudioDecoder* decoder, const RateRule& rateAccepted, ChannelSlot& slot);

}  // namespace velmora
