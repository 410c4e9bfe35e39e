#include "document/WavReader.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "io/File.h"
#include "io/LittleEndian.h"

namespace velmora {

namespace {

// KSDATAFORMAT_SUBTYPE_PCM after its first two bytes (which hold the format tag 1).
constexpr uint8_t kPcmGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool IsPcmSubFormat(const std::vector<uint8_t>& extension) {
  // cbSize(2) validBits(2) channelMask(4) then the 16-byte sub-format GUID.
  if (extension.size() < 24) return false;
  const uint8_t* guid = extension.data() + 8;
  return le::U16(guid) == kFormatPcm && std::memcmp(guid + 2, kPcmGuidTail, 14) == 0;
}

WavError FindDataChunk(File& file, ChunkHeader& chunk) {
  uint8_t bytes[ChunkHeader::kBytes];
  for (;;) {
    if (!file.ReadExact(bytes, sizeof bytes)) return WavError::ReadFailed;
    chunk = ChunkHeader::Decode(bytes);
    if (chunk.Is("data")) return WavError::None;
    // Other chunks ("fact", "LIST", ...) are skipped by their stated size, not padded to even.
    if (!file.Skip(chunk.size)) return WavError::ReadFailed;
  }
}

// Large sample blocks are read as two halves on two threads: most of the cost of a load is the
// system filling fresh pages, and that work then runs on two cores.
constexpr std::size_t kSplitReadFrom = std::size_t{8} << 20;

bool ReadSamples(File& file, uint8_t* dest, std::size_t size) {
  if (!File::kHasReadAt || size < kSplitReadFrom) return file.Read(dest, size) == size;
  const int64_t start = file.Tell();
  if (start < 0) return false;
  const std::size_t half = size / 2;
  std::size_t secondGot = 0;
  std::thread second;
  try {
    second = std::thread([&] {
      secondGot = file.ReadAt(dest + half, size - half, start + static_cast<int64_t>(half));
    });
  } catch (const std::system_error&) {
    return file.Read(dest, size) == size;
  }
  const std::size_t firstGot = file.Read(dest, half);
  second.join();
  return firstGot == half && secondGot == size - half;
}

}  // namespace

WavError ReadWavFile(const std::string& path, const std::function<bool(int32_t)>& rateAccepted,
                     WavFile& out) {
  out = WavFile{};
  File file;
  if (!file.Open(path, File::Mode::Read)) return WavError::ReadFailed;

  uint8_t head[RiffHeader::kBytes];
  if (!file.ReadExact(head, sizeof head)) return WavError::ReadFailed;
  RiffHeader header = RiffHeader::Decode(head);

  const bool extensible = header.formatTag == kFormatExtensible;
  if (header.formatTag != kFormatPcm && !extensible) return WavError::NotPcm;
  if (header.fmtSize < 16) return WavError::ShortHeader;

  const uint32_t extra = static_cast<uint32_t>(header.fmtSize) - 16;
  if (extensible) {
    std::vector<uint8_t> extension(std::min<uint32_t>(extra, 64));
    if (!file.ReadExact(extension.data(), extension.size())) return WavError::ReadFailed;
    if (!IsPcmSubFormat(extension)) return WavError::NotPcm;
    if (!file.Skip(extra - extension.size())) return WavError::ReadFailed;
    header.formatTag = kFormatPcm;
  } else if (!file.Skip(extra)) {
    return WavError::ReadFailed;
  }
  header.fmtSize = 16;

  if ((header.channels != 1 && header.channels != 2) ||
      (header.bitsPerSample != 8 && header.bitsPerSample != 16)) {
    return WavError::UnsupportedFormat;
  }
  if (!rateAccepted(header.samplesPerSec)) return WavError::RateMismatch;

  ChunkHeader chunk;
  if (const WavError error = FindDataChunk(file, chunk); error != WavError::None) return error;

  // Never trust the declared size for the allocation: a broken header must not make the program
  // ask for gigabytes that the file does not hold.
  const int64_t here = file.Tell();
  const int64_t total = file.Size();
  if (here < 0 || total < here) return WavError::ReadFailed;
  const uint64_t available = static_cast<uint64_t>(total - here);
  const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(chunk.size, available));

  if (!out.samples.Allocate(wanted)) return WavError::OutOfMemory;
  if (!ReadSamples(file, out.samples.data(), wanted)) {
    out.samples.Reset();
    return WavError::ReadFailed;
  }
  chunk.size = wanted;
  out.header = header;
  out.dataChunk = chunk;
  out.frames = wanted / static_cast<uint32_t>(FrameBytes(header));
  return WavError::None;
}

}  // namespace velmora
