#pragma once
// The canonical 44-byte PCM WAV header as plain data, with its little-endian byte image.
// RiffHeader is the first 36 bytes (RIFF, WAVE, fmt chunk with the 16-byte PCM body);
// ChunkHeader is an 8-byte chunk id and size ("data" in the header's last 8 bytes).

#include <array>
#include <cstdint>

namespace velmora {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

// Sample rates the program plays, mixes and records. Outside them a file is not taken: a rate of
// a few hertz would make a mix of gigabytes from a tiny file.
constexpr int32_t kLowestRate = 1000;
constexpr int32_t kHighestRate = 768000;
inline bool IsPlayableRate(int64_t samplesPerSec) {
  return samplesPerSec >= kLowestRate && samplesPerSec <= kHighestRate;
}

struct RiffHeader {
  std::array<char, 4> riffId{};
  uint32_t riffSize = 0;
  std::array<char, 4> waveId{};
  std::array<char, 4> fmtId{};
  int32_t fmtSize = 0;
  uint16_t formatTag = 0;
  int16_t channels = 0;
  int32_t samplesPerSec = 0;
  int32_t avgBytesPerSec = 0;
  int16_t blockAlign = 0;
  int16_t bitsPerSample = 0;

  static constexpr std::size_t kBytes = 36;
  static RiffHeader Decode(const uint8_t* bytes);
  void Encode(uint8_t* bytes) const;
};

struct ChunkHeader {
  std::array<char, 4> id{};
  uint32_t size = 0;

  static constexpr std::size_t kBytes = 8;
  static ChunkHeader Decode(const uint8_t* bytes);
  void Encode(uint8_t* bytes) const;
  bool Is(const char (&name)[5]) const;
};

struct OutHeader {
  RiffHeader riff;
  ChunkHeader data;

  static constexpr std::size_t kBytes = 44;
};

// Sets identifiers, fmt size 16, format tag 1, block align, average bytes per second, data size
// and RIFF size for `frames` frames of the given format: the rule every saved WAV file follows.
// Average bytes per second stays within its field (0..INT32_MAX) whatever the rate.
void FillCanonical(RiffHeader& riff, ChunkHeader& data, int channels, int samplesPerSec,
                   int bitsPerSample, uint32_t frames);

// Bytes per frame of a header's format with the program's convention: stereo when channels is 2,
// 16-bit when bits is 16, otherwise one byte per sample and one channel.
inline int FrameBytes(const RiffHeader& h) {
  return (h.channels == 2 ? 2 : 1) * (h.bitsPerSample == 16 ? 2 : 1);
}

}  // namespace velmora
