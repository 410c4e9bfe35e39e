#include "document/StreamingMix.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>

#include "document/ChannelLoading.h"
#include "document/MixJobOfDocument.h"
#include "document/WavReader.h"
#include "document/WavWriter.h"
#include "io/File.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

// Bytes read at a time for the automatic level: a whole number of samples of either width.
constexpr uint64_t kScanBytes = uint64_t{256} << 10;
constexpr uint64_t kHeaderBytes = RiffHeader::kBytes + ChunkHeader::kBytes;

std::error_code LastSystemError() {
  return {errno != 0 ? errno : EIO, std::generic_category()};
}

}  // namespace

// Where mixed pieces go in the file: frames [first, end) of the mix follow the header, and a
// piece outside them is dropped. A file that can seek takes each piece at its place; a pipe takes
// frames only in file order, and those that came too early are left for a second pass.
struct StreamingMix::Output {
  File& file;
  uint32_t first = 0;
  uint32_t end = 0;
  uint32_t frameBytes = 4;
  bool seekable = true;
  uint32_t at = 0;  // the mix frame the file's position stands at

  bool Put(uint32_t from, uint32_t count, const uint8_t* bytes, std::error_code& why) {
    const uint32_t a = std::max(from, first);
    const uint32_t b = std::min(from + count, end);
    if (a >= b) return true;
    if (a != at) {
      if (!seekable) return true;
      errno = 0;
      if (!file.Seek(static_cast<int64_t>(kHeaderBytes + uint64_t{a - first} * frameBytes),
                     SEEK_SET)) {
        why = LastSystemError();
        return false;
      }
    }
    errno = 0;
    if (!file.Write(bytes + uint64_t{a - from} * frameBytes, uint64_t{b - a} * frameBytes)) {
      why = LastSystemError();
      return false;
    }
    at = b;
    return true;
  }
};

bool StreamingMix::LoadChannel(int index, const std::string& path) {
  Channel& channel = channels_[index];
  ChannelSlot& slot = channel.slot;
  slot.Clear();
  slot.path = path;
  const std::string extension = UpperExtension3(path);
  bool loaded = false;
  if (extension == "WAV") {
    loaded = LoadWav(channel);
  } else if (extension == "WMA") {
    loaded = ImportCompressed(channel);
  } else {
    ui_.ShowError(msg::kWrongType);
  }
  if (!loaded) {
    slot.Clear();
    return false;
  }
  slot.level = slot.autoLevel;
  slot.balance = kBalanceCentre;
  slot.offset = 0;
  slot.inUse = true;
  slot.selected = true;
  return true;
}

LoadedRates StreamingMix::RatesLoaded() const {
  LoadedRates rates{};
  for (int i = 0; i < kChannelCount; ++i) {
    if (channels_[i].slot.inUse) rates[i] = channels_[i].slot.header.samplesPerSec;
  }
  return rates;
}

bool StreamingMix::LoadWav(Channel& channel) {
  ChannelSlot& slot = channel.slot;
  const LoadedRates loaded = RatesLoaded();
  const RateRule rateAccepted = [&loaded](int32_t rate) {
    return IsRateCompatibleWith(rate, loaded);
  };
  WavLayout layout;
  WavResult result{WavError::CannotOpen, 0};
  if (channel.file.Open(slot.path)) result = ParseWavLayout(channel.file, rateAccepted, layout);
  if (result.ok()) {
    slot.header = layout.header;
    slot.dataChunk = layout.dataChunk;
    slot.dataChunk.size = layout.dataBytes;
    slot.frames = layout.dataBytes / static_cast<uint32_t>(FrameBytes(layout.header));
    channel.dataOffset = layout.dataOffset;
    result.error = ScanPeak(channel);
  }
  if (!result.ok()) {
    ui_.ShowError(WavErrorMessage(result.error));
    return false;
  }
  return true;
}

// The automatic level from the samples on disk, read once from end to end.
WavError StreamingMix::ScanPeak(Channel& channel) {
  ChannelSlot& slot = channel.slot;
  const int bits = slot.header.bitsPerSample;
  const uint64_t sampleBytes = slot.Is16Bit() ? 2 : 1;
  const uint64_t total = uint64_t{slot.frames} * static_cast<uint64_t>(slot.FrameBytes());
  ByteBuffer buffer;
  if (!buffer.Allocate(std::min(kScanBytes, total))) return WavError::OutOfMemory;
  int32_t peak = 0;
  for (uint64_t done = 0; done < total;) {
    const auto n = static_cast<std::size_t>(std::min(kScanBytes, total - done));
    if (channel.file.ReadAt(buffer.data(), n, channel.dataOffset + done) != n) {
      return WavError::ReadFailed;
    }
    peak = std::max(peak, PeakOfSamples(buffer.data(), n / sampleBytes, bits));
    done += n;
  }
  slot.autoLevel = AutoLevelFromPeak(peak, bits);
  return WavError::None;
}

bool StreamingMix::ImportCompressed(Channel& channel) {
  ChannelSlot& slot = channel.slot;
  const LoadedRates loaded = RatesLoaded();
  const ImportResult result = DecodeIntoSlot(
      decoder_, [&loaded](int32_t rate) { return IsRateCompatibleWith(rate, loaded); }, slot);
  for (const std::string& text : ImportMessages(result)) ui_.ShowError(text);
  if (!result.ok()) return false;
  slot.autoLevel = AutoLevelFromSamples(slot.data.data(), slot.frames, slot.header.channels,
                                        slot.header.bitsPerSample);
  return true;
}

MixBuild StreamingMix::Prepare(uint32_t blockFrames, bool withPeaks) {
  job_ = MixJob{};
  peaks_.Reset();
  std::vector<MixCorrection>().swap(corrections_);
  int32_t rate = 0;
  int16_t bits = 0;
  bool any = false;
  for (const Channel& channel : channels_) {
    if (!channel.slot.inUse) continue;
    any = true;
    rate = std::max(rate, channel.slot.header.samplesPerSec);
    bits = std::max(bits, channel.slot.header.bitsPerSample);
  }
  if (!any) return MixBuild::NoChannels;
  rate_ = static_cast<uint32_t>(rate);
  bits_ = bits;

  MixJob job;
  for (int i = 0; i < kChannelCount; ++i) {
    Channel& channel = channels_[i];
    if (!channel.slot.inUse) continue;
    job.sources[i] = MixSourceOf(channel.slot);
    if (!ReadsFromFile(channel)) continue;
    // A piece reads at most as many frames of a channel as it mixes.
    const uint64_t frames = std::min<uint64_t>(pieceFrames_, channel.slot.frames);
    if (!channel.window.Allocate(frames * static_cast<uint64_t>(channel.slot.FrameBytes()))) {
      ui_.ShowError(msg::kOutOfMemory);
      return MixBuild::OutOfMemory;
    }
    job.sources[i].data = channel.window.data();
  }
  job.fadeIn = fadeIn_;
  job.fadeOut = fadeOut_;
  job.monoPlayback = monoPlayback_;
  job.rate = rate_;
  job.bits = bits_ == 16 ? 16 : 8;
  const uint64_t frames = MixLength(job.sources, job.rate);
  if (frames == 0) return MixBuild::Empty;
  if (frames < position_) return MixBuild::PositionBeyondEnd;
  // Frame indexes are 32-bit, as in the document, which reports such a mix as out of memory.
  if (frames > std::numeric_limits<uint32_t>::max()) {
    ui_.ShowError(msg::kOutOfMemory);
    return MixBuild::TooLong;
  }
  job.frames = static_cast<uint32_t>(frames);
  job.blockFrames = std::max<uint32_t>(blockFrames, 1);
  job.position = position_ >= job.frames ? 0 : position_;
  const std::size_t pieceBytes = std::size_t{pieceFrames_} * 2 * (job.bits / 8);
  const bool allocated =
      piece_.Allocate(pieceBytes) && kernel_.Prepare(job) &&
      (!withPeaks || peaks_.Allocate(job.frames / job.blockFrames + 1, job.bits / 8));
  if (!allocated) {
    peaks_.Reset();
    ui_.ShowError(msg::kOutOfMemory);
    return MixBuild::OutOfMemory;
  }
  job_ = job;
  return MixBuild::Built;
}

MixFileResult StreamingMix::WriteMixFile(const std::string& path, uint32_t first, uint32_t count,
                                         bool wholeMix) {
  MixFileResult result;
  const int blockAlign = 2 * bits_ / 8;
  if (!FitsInWav(count, blockAlign)) {
    result.why = std::make_error_code(std::errc::file_too_large);
    return result;
  }
  if (count > 0 && uint64_t{first} + count > job_.frames) {
    result.why = std::make_error_code(std::errc::invalid_argument);
    return result;
  }
  result.written = WriteWholeFileWith(
      path,
      [&](File& file, std::error_code& why) {
        return WriteContent(file, first, count, wholeMix, result, why);
      },
      &result.why);
  return result;
}

bool StreamingMix::WriteContent(File& file, uint32_t first, uint32_t count, bool wholeMix,
                                MixFileResult& result, std::error_code& why) {
  RiffHeader riff;
  ChunkHeader data;
  FillCanonical(riff, data, 2, static_cast<int>(rate_), bits_, count);
  uint8_t head[kHeaderBytes];
  riff.Encode(head);
  data.Encode(head + RiffHeader::kBytes);
  errno = 0;
  if (!file.Write(head, sizeof head)) {
    why = LastSystemError();
    return false;
  }
  std::vector<MixCorrection>().swap(corrections_);
  if (peaks_.has()) peaks_.FillSilence();
  const uint32_t total = job_.frames;
  if (total == 0) return true;

  Output out{file, first, first + count, static_cast<uint32_t>(2 * bits_ / 8), file.Tell() >= 0,
             first};
  MixTarget target;
  target.pcm = piece_.data();
  target.peaks = peaks_.has() ? &peaks_ : nullptr;
  target.corrections = &corrections_;
  // The frames to mix, in the kernel's order: from the position to the end, then from frame 0.
  const uint32_t from = wholeMix ? 0 : first;
  const uint32_t to = wholeMix ? total : first + count;
  const uint32_t position = std::clamp(job_.position, from, to);
  if (!MixRange(position, to - position, target, out, result, why) ||
      !MixRange(from, position - from, target, out, result, why)) {
    return false;
  }
  if (!out.seekable && out.at < out.end) {
    // A pipe cannot go back: the frames mixed before the wrap are mixed again in file order,
    // their corrections and peaks already counted.
    std::vector<MixCorrection> again;
    MixTarget repeat = target;
    repeat.peaks = nullptr;
    repeat.corrections = &again;
    return MixRange(out.at, out.end - out.at, repeat, out, result, why);
  }
  return true;
}

bool StreamingMix::MixRange(uint32_t first, uint32_t count, const MixTarget& target, Output& out,
                            MixFileResult& result, std::error_code& why) {
  MixTarget piece = target;
  for (uint32_t done = 0; done < count;) {
    const uint32_t n = std::min(pieceFrames_, count - done);
    const uint32_t at = first + done;
    if (!ReadWindows(at, n, result)) {
      why = std::make_error_code(std::errc::io_error);
      return false;
    }
    piece.pcmFirstFrame = at;
    kernel_.RunPiece(piece, at, n);
    if (!out.Put(at, n, piece_.data(), why)) return false;
    done += n;
  }
  return true;
}

bool StreamingMix::ReadWindows(uint32_t first, uint32_t count, MixFileResult& result) {
  for (int i = 0; i < kChannelCount; ++i) {
    Channel& channel = channels_[i];
    if (!ReadsFromFile(channel)) continue;
    const FrameSpan span = kernel_.SourceFramesOf(i, first, count);
    if (span.count == 0) continue;
    const auto frameBytes = static_cast<uint64_t>(channel.slot.FrameBytes());
    const uint64_t bytes = span.count * frameBytes;
    const uint64_t offset = channel.dataOffset + static_cast<uint64_t>(span.first) * frameBytes;
    if (bytes > channel.window.size() ||
        channel.file.ReadAt(channel.window.data(), bytes, offset) != bytes) {
      result.unreadableChannel = i;
      return false;
    }
    kernel_.SetSourceWindow(i, channel.window.data(), span.first);
  }
  return true;
}

}  // namespace velmora
