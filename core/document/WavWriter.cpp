#include "document/WavWriter.h"

#include <limits>
#include <system_error>

#include "document/VelmoraDoc.h"
#include "io/ReplacingFile.h"

namespace velmora {

Result WriteWavFile(const std::string& path, const RiffHeader& riff, const ChunkHeader& data,
                    const uint8_t* samples) {
  uint8_t head[RiffHeader::kBytes];
  uint8_t chunk[ChunkHeader::kBytes];
  riff.Encode(head);
  data.Encode(chunk);
  Result written =
      WriteWholeFile(path, {{head, sizeof head}, {chunk, sizeof chunk}, {samples, data.size}});
  if (!written) written.failure().what = FailureKind::SaveFailed;
  return written;
}

bool FitsInWav(uint32_t frames, int blockAlign) {
  const uint64_t bytes = static_cast<uint64_t>(frames) * static_cast<uint64_t>(blockAlign);
  return bytes + RiffHeader::kBytes <= std::numeric_limits<uint32_t>::max();
}

Result CVelmoraDoc::WriteMixFile(const std::string& path, uint32_t first, uint32_t frames) {
  // The samples are written in the format they were mixed in; an empty mix has no buffer and
  // takes the output format.
  const MixFormat format = HasMix() ? mixFormat_ : MixFormat{MixRate(), MixBits()};
  const int bits = format.bits;
  const int blockAlign = 2 * bits / 8;
  const uint64_t begin = static_cast<uint64_t>(first) * static_cast<uint64_t>(blockAlign);
  const uint64_t length = static_cast<uint64_t>(frames) * static_cast<uint64_t>(blockAlign);
  if (!FitsInWav(frames, blockAlign)) {
    return FileFailure(FailureKind::SaveFailed, path,
                       std::make_error_code(std::errc::file_too_large));
  }
  if (length > 0 && begin + length > mixBuffer_.size()) {
    return FileFailure(FailureKind::SaveFailed, path,
                       std::make_error_code(std::errc::invalid_argument));
  }
  OutHeader header = outHeader_;
  FillCanonical(header.riff, header.data, 2, static_cast<int>(format.rate), bits, frames);
  // The document's output format follows its channels: a stale mix of an earlier format, saved
  // after a load, leaves it as the load set it.
  if (static_cast<int32_t>(format.rate) == outHeader_.riff.samplesPerSec &&
      bits == outHeader_.riff.bitsPerSample) {
    outHeader_ = header;
  }
  const uint8_t* samples = length > 0 ? mixBuffer_.data() + begin : nullptr;
  return WriteWavFile(path, header.riff, header.data, samples);
}

}  // namespace velmora
