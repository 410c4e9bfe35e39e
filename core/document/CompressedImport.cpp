// The compressed-audio branch of the channel loader: decode the whole file through the audio
// decoder and fill the slot like a WAV load; the loader then completes it as any other.

#include <utility>

#include "document/CReader.h"
#include "document/ChannelLoading.h"
#include "document/VelmoraDoc.h"

namespace velmora {

namespace {

// The rest of the program mixes, plays and saves 8- or 16-bit mono or stereo only, at rates it
// can play.
bool IsSupportedFormat(const PcmFormat& format) {
  return (format.channels == 1 || format.channels == 2) &&
         (format.bitsPerSample == 8 || format.bitsPerSample == 16) &&
         IsPlayableRate(format.samplesPerSec);
}

}  // namespace

Result DecodeIntoSlot(AudioDecoder* decoder, const RateRule& rateAccepted, ChannelSlot& slot) {
  if (decoder == nullptr) return FailureOf(FailureKind::NoDecoder, slot.path);
  CReader reader(*decoder);
  if (Result opened = reader.Open(slot.path); !opened) return opened;
  if (Result read = reader.ReadSamples(); !read) return read;
  reader.reader.reset();

  const PcmFormat& format = reader.outputFormat;
  if (!IsSupportedFormat(format)) return FailureOf(FailureKind::UnsupportedFormat, slot.path);
  if (!rateAccepted(format.samplesPerSec)) {
    return FailureOf(FailureKind::RateMismatch, slot.path);
  }
  FillCanonical(slot.header, slot.dataChunk, format.channels, format.samplesPerSec,
                format.bitsPerSample, reader.samplesFrames);
  slot.data = std::move(reader.samples);
  slot.frames = reader.samplesFrames;
  return {};
}

}  // namespace velmora
