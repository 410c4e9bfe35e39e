#include "document/WavReader.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <vector>

#include "io/LittleEndian.h"

namespace velmora {

namespace {

// Offsets of the fields the checks look at.
constexpr uint64_t kFmtSizeAt = 16;
constexpr uint64_t kFormatTagAt = 20;
constexpr uint64_t kChannelsAt = 22;
constexpr uint64_t kRateAt = 24;
constexpr uint64_t kBitsAt = 34;
constexpr uint64_t kFmtExtensionAt = RiffHeader::kBytes;

// KSDATAFORMAT_SUBTYPE_PCM after its first two bytes (which hold the format tag 1).
constexpr uint8_t kPcmGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// cbSize(2) validBits(2) channelMask(4), then the 16-byte sub-format GUID.
constexpr std::size_t kSubFormatAt = 8;
constexpr std::size_t kExtensionBytes = kSubFormatAt + 16;

bool IsPcmSubFormat(const std::vector<uint8_t>& extension) {
  if (extension.size() < kExtensionBytes) return false;
  const uint8_t* guid = extension.data() + kSubFormatAt;
  return le::U16(guid) == kFormatPcm && std::memcmp(guid + 2, kPcmGuidTail, 14) == 0;
}

Failure Fail(FailureKind what, uint64_t offset) {
  return Failure{what, {}, 0, {}, offset};
}

bool ReadExactAt(ByteSource& source, void* dest, std::size_t size, uint64_t offset) {
  return source.ReadAt(dest, size, offset) == size;
}

// The fmt chunk's body after its 16 PCM bytes: an extensible format must name PCM there.
Result CheckFmtExtension(ByteSource& source, RiffHeader& header) {
  const uint64_t extra = static_cast<uint64_t>(header.fmtSize) - 16;
  if (header.formatTag == kFormatExtensible) {
    std::vector<uint8_t> extension(std::min<uint64_t>(extra, 64));
    if (!ReadExactAt(source, extension.data(), extension.size(), kFmtExtensionAt)) {
      return Fail(FailureKind::TruncatedHeader, kFmtExtensionAt);
    }
    if (!IsPcmSubFormat(extension)) {
      return Fail(FailureKind::NotPcm, kFmtExtensionAt + kSubFormatAt);
    }
    header.formatTag = kFormatPcm;
  }
  if (kFmtExtensionAt + extra > source.Size()) {
    return Fail(FailureKind::TruncatedHeader, kFmtExtensionAt);
  }
  header.fmtSize = 16;
  return {};
}

Result CheckFormat(const RiffHeader& header, const RateRule& rateAccepted) {
  if (header.channels != 1 && header.channels != 2) {
    return Fail(FailureKind::UnsupportedFormat, kChannelsAt);
  }
  if (header.bitsPerSample != 8 && header.bitsPerSample != 16) {
    return Fail(FailureKind::UnsupportedFormat, kBitsAt);
  }
  if (!IsPlayableRate(header.samplesPerSec)) return Fail(FailureKind::UnsupportedFormat, kRateAt);
  if (!rateAccepted(header.samplesPerSec)) return Fail(FailureKind::RateMismatch, kRateAt);
  return {};
}

// Bytes of the image read a window at a time, so that a file of many small chunks costs one read
// per window rather than one per chunk.
class WindowedReader {
 public:
  explicit WindowedReader(ByteSource& source) : source_(source), window_(kWindowBytes) {}

  // Copies `size` bytes (at most a window) from `offset`; false when the image ends first.
  bool Read(uint64_t offset, uint8_t* dest, std::size_t size) {
    if (offset < start_ || offset - start_ > filled_ || filled_ - (offset - start_) < size) {
      start_ = offset;
      filled_ = source_.ReadAt(window_.data(), window_.size(), offset);
      if (filled_ < size) return false;
    }
    std::memcpy(dest, window_.data() + (offset - start_), size);
    return true;
  }

 private:
  static constexpr std::size_t kWindowBytes = std::size_t{16} * 1024;

  ByteSource& source_;
  std::vector<uint8_t> window_;
  uint64_t start_ = 0;
  std::size_t filled_ = 0;
};

// A chunk id is four printable ASCII characters; a pad byte (zero) is not one.
bool LooksLikeChunkId(const uint8_t* id) {
  return std::all_of(id, id + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

// Where the chunk after one of odd size begins: after its pad byte, unless its writer left the
// pad out and the next chunk starts straight away.
uint64_t AfterOddChunk(WindowedReader& reader, uint64_t end) {
  uint8_t id[4];
  if (reader.Read(end, id, sizeof id) && LooksLikeChunkId(id)) return end;
  return end + 1;
}

// Walks the chunks from `offset` to the data chunk. Other chunks ("fact", "LIST", ...) are
// skipped by their stated size and pad.
Result FindDataChunk(ByteSource& source, uint64_t offset, WavLayout& out) {
  const uint64_t end = source.Size();
  WindowedReader reader(source);
  for (;;) {
    uint8_t bytes[ChunkHeader::kBytes];
    if (!reader.Read(offset, bytes, sizeof bytes)) return Fail(FailureKind::NoDataChunk, offset);
    const ChunkHeader chunk = ChunkHeader::Decode(bytes);
    const uint64_t body = offset + ChunkHeader::kBytes;
    if (chunk.Is("data")) {
      out.dataChunk = chunk;
      out.dataOffset = body;
      // Never trust the declared size: a broken header must not make the program ask for
      // gigabytes that the file does not hold.
      out.dataBytes = static_cast<uint32_t>(std::min<uint64_t>(chunk.size, end - body));
      return {};
    }
    if (chunk.size > end - body) return Fail(FailureKind::NoDataChunk, offset);
    offset = body + chunk.size;
    if (chunk.size % 2 != 0) offset = AfterOddChunk(reader, offset);
  }
}

}  // namespace

Result ParseWavLayout(ByteSource& source, const RateRule& rateAccepted, WavLayout& out) {
  out = WavLayout{};
  uint8_t head[RiffHeader::kBytes];
  if (!ReadExactAt(source, head, sizeof head, 0)) return Fail(FailureKind::TruncatedHeader, 0);
  RiffHeader header = RiffHeader::Decode(head);

  if (header.formatTag != kFormatPcm && header.formatTag != kFormatExtensible) {
    return Fail(FailureKind::NotPcm, kFormatTagAt);
  }
  if (header.fmtSize < 16) return Fail(FailureKind::ShortHeader, kFmtSizeAt);
  const uint64_t firstChunk = kFmtExtensionAt + static_cast<uint64_t>(header.fmtSize) - 16;
  if (Result r = CheckFmtExtension(source, header); !r.ok()) return r;
  if (Result r = CheckFormat(header, rateAccepted); !r.ok()) return r;
  if (Result r = FindDataChunk(source, firstChunk, out); !r.ok()) return r;
  out.header = header;
  return {};
}

Result ReadWav(ByteSource& source, const RateRule& rateAccepted, WavFile& out) {
  out = WavFile{};
  WavLayout layout;
  if (Result r = ParseWavLayout(source, rateAccepted, layout); !r.ok()) return r;
  if (!out.samples.Allocate(layout.dataBytes)) {
    return Fail(FailureKind::OutOfMemory, layout.dataOffset);
  }
  if (!ReadExactAt(source, out.samples.data(), layout.dataBytes, layout.dataOffset)) {
    out.samples.Reset();
    return Fail(FailureKind::ReadFailed, layout.dataOffset);
  }
  out.header = layout.header;
  out.dataChunk = layout.dataChunk;
  out.dataChunk.size = layout.dataBytes;
  out.frames = layout.dataBytes / static_cast<uint32_t>(FrameBytes(layout.header));
  return {};
}

Result ReadWavBytes(const uint8_t* bytes, std::size_t size, const RateRule& rateAccepted,
                    WavFile& out) {
  MemorySource source(bytes, size);
  return ReadWav(source, rateAccepted, out);
}

Result ReadWavFile(const std::string& path, const RateRule& rateAccepted, WavFile& out) {
  out = WavFile{};
  FileSource file;
  std::error_code why;
  if (!file.Open(path, &why)) return FileFailure(FailureKind::CannotOpen, path, why);
  Result read = ReadWav(file, rateAccepted, out);
  if (!read) read.failure().where = path;
  return read;
}

}  // namespace velmora
