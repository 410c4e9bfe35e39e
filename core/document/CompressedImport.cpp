// The compressed-audio branch of the channel loader: decode the whole file through the audio
// decoder and fill the slot like a WAV load; the loader then completes it as any other.

#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "document/CReader.h"
#include "document/ChannelLoading.h"
#include "document/VelmoraDoc.h"
#include "io/File.h"
#include "io/Format.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

constexpr const char* kStreamsNotSupported =
    "Wrong input file - streams are not supported : (hr=0x%08x).\n";
constexpr const char* kCouldNotOpenFile = "Could not open file (hr=0x%08x).\n";
constexpr const char* kNoAudioStream = "Could not find an audio stream in the specified file";
constexpr const char* kCouldNotGetAudioOutput = "Could not get audio output (hr=0x%08x).\n";
constexpr const char* kNextSampleFailed = "GetNextSample() failed : (hr=0x%08x).\n";
constexpr const char* kCannotOpenReader = "Cannot open reader: hr = 0x%08x\n";
constexpr const char* kReadSamplesFailed = "ReadSamples failed: hr = 0x%08x\n";
constexpr const char* kReaderFailed = "WMSyncReader failed (hr=0x%08x).\n";

unsigned Hex(DecoderCode code) {
  return static_cast<unsigned>(static_cast<uint32_t>(code));
}

// The rest of the program mixes, plays and saves 8- or 16-bit mono or stereo only, at rates it
// can play.
bool IsSupportedFormat(const PcmFormat& format) {
  return (format.channels == 1 || format.channels == 2) &&
         (format.bitsPerSample == 8 || format.bitsPerSample == 16) &&
         IsPlayableRate(format.samplesPerSec);
}

}  // namespace

std::vector<std::string> ImportMessages(const ImportResult& result) {
  const unsigned code = Hex(result.code);
  std::vector<std::string> chain;
  switch (result.step) {
    case ImportStep::Done:
      return {};
    case ImportStep::NoDecoder:
      return {msg::kReadFailed};
    case ImportStep::UnsupportedFormat:
      return {msg::kUnsupportedFormat};
    case ImportStep::RateMismatch:
      return {msg::kRateMismatch};
    case ImportStep::NetworkStream:
      chain = {Format(kStreamsNotSupported, 0u), Format(kCannotOpenReader, code)};
      break;
    case ImportStep::OpenFile:
      chain = {Format(kCouldNotOpenFile, code), Format(kCannotOpenReader, code)};
      break;
    case ImportStep::NoAudioStream:
      chain = {Format("%s (hr=%#X)", kNoAudioStream, code), Format(kCouldNotGetAudioOutput, code),
               Format(kCannotOpenReader, code)};
      break;
    case ImportStep::DecodeBlock:
      chain = {Format(kNextSampleFailed, code), Format(kReadSamplesFailed, code)};
      break;
    case ImportStep::CollectSamples:
      chain = {Format(kReadSamplesFailed, code)};
      break;
  }
  chain.push_back(Format(kReaderFailed, code));
  return chain;
}

namespace {

// The system's own words for a code that carries its error number, as decoders pass them on.
std::optional<std::string> SystemReasonOf(DecoderCode code) {
  if (code == kCodeNotADiskFile) return NotARegularFileError().message();
  if (code < 0 && code > -kLargestSystemError) {
    return std::generic_category().message(-code);
  }
  return std::nullopt;
}

}  // namespace

ImportResult DecodeIntoSlot(AudioDecoder* decoder, const RateRule& rateAccepted,
                            ChannelSlot& slot) {
  if (decoder == nullptr) return {ImportStep::NoDecoder, kDecoderOk};
  CReader reader(*decoder);
  if (const ImportResult opened = reader.Open(slot.path); !opened.ok()) return opened;
  if (const ImportResult read = reader.ReadSamples(); !read.ok()) return read;
  reader.reader.reset();

  const PcmFormat& format = reader.outputFormat;
  if (!IsSupportedFormat(format)) return {ImportStep::UnsupportedFormat, kDecoderOk};
  if (!rateAccepted(format.samplesPerSec)) return {ImportStep::RateMismatch, kDecoderOk};
  FillCanonical(slot.header, slot.dataChunk, format.channels, format.samplesPerSec,
                format.bitsPerSample, reader.samplesFrames);
  slot.data = std::move(reader.samples);
  slot.frames = reader.samplesFrames;
  return {};
}

void ShowImportMessages(Ui& ui, const ImportResult& result, const std::string& path) {
  for (const std::string& text : ImportMessages(result)) ui.ShowError(text);
  if (result.step == ImportStep::OpenFile) {
    if (const std::optional<std::string> reason = SystemReasonOf(result.code)) {
      ui.ShowSystemReason(path, *reason);
    }
  }
}

}  // namespace velmora
