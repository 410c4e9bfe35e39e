#include "document/CReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "io/Format.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

constexpr const char* kStreamsNotSupported =
    "Wrong input file - streams are not supported : (hr=0x%08x).\n";
constexpr const char* kCouldNotCreateReader = "Could not create reader (hr=0x%08x).\n";
constexpr const char* kCouldNotOpenFile = "Could not open file (hr=0x%08x).\n";
constexpr const char* kCouldNotStreamNumbers = "Could not stream numbers (hr=0x%08x).\n";
constexpr const char* kCouldNotGetAudioOutput = "Could not get audio output (hr=0x%08x).\n";
constexpr const char* kStreamCountFailed = "GetStreamCount on IWMProfile failed (hr=0x%08x).\n";
constexpr const char* kStreamNumberFailed =
    "Could not get stream number from IWMStreamConfig %d of %d (hr=0x%08x).\n";
constexpr const char* kStreamTypeFailed =
    "Could not get stream type of stream %d of %d from IWMStreamConfig (hr=0x%08x).\n";
constexpr const char* kOutputCountFailed = "Could not get output count";
constexpr const char* kMediaTypeFailed = "Could not get media type";
constexpr const char* kNoAudioStream = "Could not find an audio stream in the specified file";
constexpr const char* kSelectFailed = "SetStreamsSelected (hr=0x%08x).\n";
constexpr const char* kReadStreamSamplesFailed = "SetReadStreamSamples (hr=0x%08x).\n";
constexpr const char* kRangeByFrameFailed = "SetRangeByFrame (hr=0x%08x).\n";
constexpr const char* kRangeFailed = "SetRange (hr=0x%08x).\n";
constexpr const char* kNextSampleFailed = "GetNextSample() failed : (hr=0x%08x).\n";

constexpr uint64_t kHundredNsPerMs = 10000;
// The first block is large enough for a few seconds of CD audio, so short files never grow.
constexpr std::size_t kFirstCapacity = std::size_t{1} << 20;
// A slot's data size is a 32-bit field of the WAV header.
constexpr std::size_t kMaxSampleBytes = std::numeric_limits<uint32_t>::max();

unsigned Hex(MediaResult code) {
  return static_cast<unsigned>(static_cast<uint32_t>(code));
}

uint32_t BlockAlignOf(const MediaFormat& format) {
  if (format.bitsPerSample <= 0 || format.channels <= 0) return 0;
  return static_cast<uint32_t>(format.bitsPerSample) * static_cast<uint32_t>(format.channels) / 8;
}

}  // namespace

bool IsNetworkStreamPath(const std::string& path) {
  static constexpr char kScheme[] = "http";
  if (path.size() < 4) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    if (std::tolower(static_cast<unsigned char>(path[i])) != kScheme[i]) return false;
  }
  return true;
}

MediaResult CReader::ShowCode(const char* format, MediaResult code) {
  ui_.ShowError(Format(format, Hex(code)));
  return code;
}

MediaResult CReader::SetParams(uint64_t start, uint64_t end, int32_t compressed, int32_t audio,
                               int32_t video, int32_t inFrames) {
  if (end != 0 && start >= end) return kEInvalidArg;
  rangeStart = start;
  rangeEnd = end;
  readCompressed = compressed;
  audioOn = audio;
  videoOn = video;
  rangeInFrames = inFrames;
  return kMediaOk;
}

MediaResult CReader::Open(const std::string& path) {
  if (path.empty()) return kEInvalidArg;
  if (IsNetworkStreamPath(path)) {
    ShowCode(kStreamsNotSupported, kMediaOk);
    return kEInvalidArg;
  }
  samples.Reset();
  samplesBytes_ = 0;
  samplesFrames = 0;

  if (!reader) {
    const MediaResult created = decoder_.CreateReader(reader);
    if (MediaFailed(created) || !reader) {
      reader.reset();
      return ShowCode(kCouldNotCreateReader, MediaFailed(created) ? created : kEUnexpected);
    }
  }
  MediaResult result = reader->Open(path);
  if (MediaFailed(result)) return ShowCode(kCouldNotOpenFile, result);
  result = FindStreamNumbers();
  if (MediaFailed(result)) return ShowCode(kCouldNotStreamNumbers, result);
  result = FindAudioOutput();
  if (MediaFailed(result)) return ShowCode(kCouldNotGetAudioOutput, result);
  return result;
}

MediaResult CReader::FindStreamNumbers() {
  if (!reader) return kEUnexpected;
  uint32_t count = 0;
  MediaResult result = reader->GetStreamCount(count);
  if (MediaFailed(result)) return ShowCode(kStreamCountFailed, result);
  audioStream = 0;
  videoStream = 0;
  const int shownCount = static_cast<int>(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint16_t number = 0;
    result = reader->GetStreamNumber(i, number);
    if (MediaFailed(result)) {
      ui_.ShowError(Format(kStreamNumberFailed, static_cast<int>(i), shownCount, Hex(result)));
      return result;
    }
    MediaType type = MediaType::Other;
    result = reader->GetStreamType(i, type);
    if (MediaFailed(result)) {
      ui_.ShowError(Format(kStreamTypeFailed, static_cast<int>(i), shownCount, Hex(result)));
      return result;
    }
    // A later stream of the same type replaces an earlier one.
    if (type == MediaType::Audio) audioStream = number;
    if (type == MediaType::Video) videoStream = number;
  }
  return kMediaOk;
}

MediaResult CReader::FindAudioOutput() {
  if (!reader) return kEUnexpected;
  const auto fail = [this](const char* text, MediaResult code) {
    ui_.ShowError(Format("%s (hr=%#X)", text, Hex(code)));
    return code;
  };
  uint32_t count = 0;
  MediaResult result = reader->GetOutputCount(count);
  if (MediaFailed(result)) return fail(kOutputCountFailed, result);
  for (uint32_t i = 0; i < count; ++i) {
    MediaOutput output;
    result = reader->GetOutputMediaType(i, output);
    if (MediaFailed(result)) return fail(kMediaTypeFailed, result);
    if (output.type == MediaType::Audio) {
      audioOutput = i;
      outputFormat = output.format;
      return kMediaOk;
    }
  }
  return fail(kNoAudioStream, kEUnexpected);
}

MediaResult CReader::SelectStreams() {
  MediaResult result = kMediaOk;
  if (audioStream != 0) {
    result = reader->SetStreamSelected(audioStream, audioOn == 1);
    if (MediaFailed(result)) return ShowCode(kSelectFailed, result);
    result = reader->SetReadStreamSamples(audioStream, readCompressed != 0);
    if (MediaFailed(result)) return ShowCode(kReadStreamSamplesFailed, result);
  }
  bool rangeSetByFrames = false;
  if (videoStream != 0) {
    result = reader->SetStreamSelected(videoStream, videoOn == 1);
    if (MediaFailed(result)) return ShowCode(kSelectFailed, result);
    result = reader->SetReadStreamSamples(videoStream, readCompressed != 0);
    if (MediaFailed(result)) return ShowCode(kReadStreamSamplesFailed, result);
    if (rangeInFrames == 1) {
      const uint64_t count = rangeEnd != 0 ? rangeEnd - rangeStart : 0;
      result = reader->SetRangeByFrame(videoStream, rangeStart, count);
      if (MediaFailed(result)) return ShowCode(kRangeByFrameFailed, result);
      rangeSetByFrames = true;
    }
  }
  if (!rangeSetByFrames) {
    const uint64_t duration = rangeEnd != 0 ? (rangeEnd - rangeStart) * kHundredNsPerMs : 0;
    result = reader->SetRange(rangeStart * kHundredNsPerMs, duration);
    if (MediaFailed(result)) return ShowCode(kRangeFailed, result);
  }
  return kMediaOk;
}

MediaResult CReader::ReadSamples() {
  if (!reader || !outputFormat) return kEUnexpected;
  const uint32_t blockAlign = BlockAlignOf(*outputFormat);
  if (blockAlign == 0) return kEUnexpected;

  MediaResult result = SelectStreams();
  if (MediaFailed(result)) return result;

  samples.Reset();
  samplesBytes_ = 0;
  samplesFrames = 0;
  for (;;) {
    MediaSample sample;
    result = reader->GetNextSample(sample);
    if (result == kNoMoreSamples) break;
    if (MediaFailed(result)) return ShowCode(kNextSampleFailed, result);
    result = AppendFrames(sample, blockAlign);
    if (MediaFailed(result)) return result;
  }
  return ShrinkToFrames(blockAlign);
}

MediaResult CReader::AppendFrames(const MediaSample& sample, uint32_t blockAlign) {
  // A trailing partial frame would shift every later frame by a few bytes; it is dropped.
  const std::size_t frames = sample.length / blockAlign;
  const std::size_t bytes = frames * blockAlign;
  if (bytes == 0) return kMediaOk;
  if (bytes > kMaxSampleBytes - samplesBytes_) return kEOutOfMemory;
  const std::size_t needed = samplesBytes_ + bytes;
  if (needed > samples.size()) {
    std::size_t capacity = std::max({needed, samples.size() * 2, kFirstCapacity});
    capacity = std::min(capacity, kMaxSampleBytes);
    ByteBuffer grown;
    // Near the memory's limit the doubled block may not exist while the exact one does.
    if (!grown.Allocate(capacity) && !grown.Allocate(needed)) return kEOutOfMemory;
    if (samplesBytes_ != 0) std::memcpy(grown.data(), samples.data(), samplesBytes_);
    samples = std::move(grown);
  }
  std::memcpy(samples.data() + samplesBytes_, sample.bytes, bytes);
  samplesBytes_ = needed;
  samplesFrames += static_cast<uint32_t>(frames);
  return kMediaOk;
}

MediaResult CReader::ShrinkToFrames(uint32_t blockAlign) {
  const std::size_t exact = static_cast<std::size_t>(samplesFrames) * blockAlign;
  if (samples.has() && samples.size() == exact) return kMediaOk;
  // The slot's buffer holds exactly its frames, as a WAV load leaves it.
  ByteBuffer fitted;
  if (!fitted.Allocate(exact)) return kEOutOfMemory;
  if (exact != 0) std::memcpy(fitted.data(), samples.data(), exact);
  samples = std::move(fitted);
  return kMediaOk;
}

MediaResult CReader::Close() {
  if (!reader) return kMediaOk;
  const MediaResult result = reader->Close();
  if (MediaFailed(result)) return result;
  reader.reset();
  return kMediaOk;
}

}  // namespace velmora
