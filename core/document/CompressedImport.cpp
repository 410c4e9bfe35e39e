// The compressed-audio branch of LoadChannel: decode the whole file through the media decoder and
// fill the slot like a WAV load; LoadChannel then runs the shared completion steps.

#include "document/CReader.h"
#include "document/VelmoraDoc.h"
#include "io/Format.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

constexpr const char* kIncorrectParams = "Incorrect values of input parameters -st or -end\n";
constexpr const char* kCannotOpenReader = "Cannot open reader: hr = 0x%08x\n";
constexpr const char* kReadSamplesFailed = "ReadSamples failed: hr = 0x%08x\n";
constexpr const char* kReaderFailed = "WMSyncReader failed (hr=0x%08x).\n";
constexpr const char* kCloseFailed = "Close failed: hr = 0x%08x\n";

unsigned Hex(MediaResult code) {
  return static_cast<unsigned>(static_cast<uint32_t>(code));
}

// The rest of the program mixes, plays and saves 8- or 16-bit mono or stereo only.
bool IsSupportedFormat(const MediaFormat& format) {
  return (format.channels == 1 || format.channels == 2) &&
         (format.bitsPerSample == 8 || format.bitsPerSample == 16) && format.samplesPerSec > 0;
}

// Steps up to the closed reader; false after the failing step's messages.
bool DecodeWhole(Ui& ui, CReader& reader, const std::string& path) {
  MediaResult result = reader.SetParams(0, 0, 0, 1, 0, 0);
  if (MediaFailed(result)) {
    ui.ShowError(kIncorrectParams);
  } else if (result = reader.Open(path); MediaFailed(result)) {
    ui.ShowError(Format(kCannotOpenReader, Hex(result)));
  } else if (result = reader.ReadSamples(); MediaFailed(result)) {
    ui.ShowError(Format(kReadSamplesFailed, Hex(result)));
  }
  if (MediaFailed(result)) {
    ui.ShowError(Format(kReaderFailed, Hex(result)));
    reader.Close();
    return false;
  }
  result = reader.Close();
  if (MediaFailed(result)) {
    ui.ShowError(Format(kCloseFailed, Hex(result)));
    return false;
  }
  return true;
}

}  // namespace

bool CVelmoraDoc::ImportCompressed(int index) {
  if (mediaDecoder_ == nullptr) {
    ui_.ShowError(msg::kReadFailed);
    return false;
  }
  ChannelSlot& slot = slots[index];
  CReader reader(ui_, *mediaDecoder_);
  if (!DecodeWhole(ui_, reader, slot.path)) return false;

  const MediaFormat& format = *reader.outputFormat;
  if (!IsSupportedFormat(format)) {
    ui_.ShowError(msg::kUnsupportedFormat);
    return false;
  }
  if (!IsRateCompatible(format.samplesPerSec)) {
    ui_.ShowError(msg::kRateMismatch);
    return false;
  }
  FillCanonical(slot.header, slot.dataChunk, format.channels, format.samplesPerSec,
                format.bitsPerSample, reader.samplesFrames);
  slot.data = std::move(reader.samples);
  slot.frames = reader.samplesFrames;
  return true;
}

}  // namespace velmora
