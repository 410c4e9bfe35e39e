#include "document/CReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <system_error>

#include "io/File.h"

namespace velmora {

namespace {

// The first block is large enough for a few seconds of CD audio, so short files never grow.
constexpr std::size_t kFirstCapacity = std::size_t{1} << 20;
// A slot's data size is a 32-bit field of the WAV header.
constexpr std::size_t kMaxSampleBytes = std::numeric_limits<uint32_t>::max();

uint32_t BlockAlignOf(const PcmFormat& format) {
  if (format.bitsPerSample <= 0 || format.channels <= 0) return 0;
  return static_cast<uint32_t>(format.bitsPerSample) * static_cast<uint32_t>(format.channels) / 8;
}

Failure Stop(FailureKind step, DecoderCode code) {
  return Failure{step, {}, code, {}, 0};
}

// The system's own words for a code that carries its error number, as decoders pass them on.
std::string SystemReasonOf(DecoderCode code) {
  if (code == kCodeNotADiskFile) return NotARegularFileError().message();
  if (code < 0 && code > -kLargestSystemError) return std::generic_category().message(-code);
  return {};
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

Result CReader::Open(const std::string& path) {
  if (IsNetworkStreamPath(path)) {
    return Failure{FailureKind::NetworkStream, path, kCodeInvalidArgument, {}, 0};
  }
  samples.Reset();
  samplesBytes_ = 0;
  samplesFrames = 0;
  reader.reset();

  std::unique_ptr<DecodedStream> opened;
  const DecoderCode code = decoder_.Open(path, opened);
  if (DecoderFailed(code) || !opened) {
    const DecoderCode failed = DecoderFailed(code) ? code : kCodeUnexpected;
    return Failure{FailureKind::DecoderOpen, path, failed, SystemReasonOf(failed), 0};
  }
  const std::optional<PcmFormat> format = opened->format();
  if (!format) return Failure{FailureKind::NoAudioStream, path, kCodeUnexpected, {}, 0};
  outputFormat = *format;
  reader = std::move(opened);
  return {};
}

Result CReader::ReadSamples() {
  const uint32_t blockAlign = BlockAlignOf(outputFormat);
  if (!reader || blockAlign == 0) return Stop(FailureKind::CollectSamples, kCodeUnexpected);
  samples.Reset();
  samplesBytes_ = 0;
  samplesFrames = 0;
  for (;;) {
    PcmBlock block;
    const DecoderCode code = reader->Next(block);
    if (DecoderFailed(code)) return Stop(FailureKind::DecodeBlock, code);
    if (block.length == 0) break;
    if (!AppendFrames(block, blockAlign)) {
      return Stop(FailureKind::CollectSamples, kCodeOutOfMemory);
    }
  }
  if (!ShrinkToFrames(blockAlign)) return Stop(FailureKind::CollectSamples, kCodeOutOfMemory);
  return {};
}

bool CReader::AppendFrames(const PcmBlock& block, uint32_t blockAlign) {
  // A trailing partial frame would shift every later frame by a few bytes; it is dropped.
  const std::size_t frames = block.length / blockAlign;
  const std::size_t bytes = frames * blockAlign;
  if (bytes == 0) return true;
  if (bytes > kMaxSampleBytes - samplesBytes_) return false;
  const std::size_t needed = samplesBytes_ + bytes;
  if (needed > samples.size()) {
    std::size_t capacity = std::max({needed, samples.size() * 2, kFirstCapacity});
    capacity = std::min(capacity, kMaxSampleBytes);
    // Near the memory's limit the doubled block may not exist while the exact one does.
    if (!samples.Resize(capacity) && !samples.Resize(needed)) return false;
  }
  std::memcpy(samples.data() + samplesBytes_, block.bytes, bytes);
  samplesBytes_ = needed;
  samplesFrames += static_cast<uint32_t>(frames);
  return true;
}

bool CReader::ShrinkToFrames(uint32_t blockAlign) {
  const std::size_t exact = static_cast<std::size_t>(samplesFrames) * blockAlign;
  if (samples.has() && samples.size() == exact) return true;
  // The slot's buffer holds exactly its frames, as a WAV load leaves it; shrinking in place
  // costs no copy of the samples.
  return samples.Resize(exact);
}

}  // namespace velmora
