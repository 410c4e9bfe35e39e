#pragma once
// One of the document's four channels: its samples exactly as in a WAV data chunk, its format as
// a 36-byte header image, and the mixer parameters the panel edits.

#include <array>
#include <cstdint>
#include <string>

#include "document/WavHeader.h"
#include "io/ByteBuffer.h"
#include "mixdown/ChannelParameters.h"

namespace velmora {

constexpr int kChannelCount = 4;

struct ChannelSlot {
  bool inUse = false;                // filled by loading or recording, until release or New
  int32_t level = kDefaultLevel;     // slider position 0..200 (0 = loudest)
  int32_t balance = kBalanceCentre;  // 0..20, 10 = centre
  int32_t offset = 0;                // milliseconds; positive places the channel later
  ByteBuffer data;                   // absent = empty slot
  int32_t autoLevel = 0;             // level derived from the peak; 0 when empty
  RiffHeader header{};
  ChunkHeader dataChunk{};
  std::string path;  // UTF-8; empty = the samples exist in no file
  uint32_t frames = 0;
  bool selected = false;  // takes part in playback and the mix

  bool HasData() const { return data.has(); }
  bool IsStereo() const { return header.channels == 2; }
  bool Is16Bit() const { return header.bitsPerSample == 16; }
  uint32_t Rate() const { return static_cast<uint32_t>(header.samplesPerSec); }
  int FrameBytes() const { return velmora::FrameBytes(header); }

  // Back to the state of a slot that was never filled (fields and buffer); fades are the
  // document's and stay.
  void Clear();
  // This channel with other samples: every field copied but the samples, which are `samples`.
  ChannelSlot WithSamples(ByteBuffer samples) const;
  // Holds recorded samples (a take, or one found after a crash) as a recording leaves them: in
  // use, selected, at their automatic level, centred, at offset 0; the path stays as it is.
  void HoldRecording(ByteBuffer samples, uint32_t sampleFrames, int channels, int samplesPerSec,
                     int bits);
};

// Level slider position from a channel's peak: g = peak × 200 / full scale, 200 − g / 2, and
// at most 199 for a channel with any signal. A full-scale channel gets 100, a silent one 200.
int32_t AutoLevelFromSamples(const uint8_t* data, uint32_t frames, int channels, int bits);
// The same in steps, for samples read a piece at a time: the largest |sample| (8-bit: deviation
// from 128) of `samples` samples of `bits` bits, and the level of the largest over all pieces.
int32_t PeakOfSamples(const uint8_t* data, uint64_t samples, int bits);
int32_t AutoLevelFromPeak(int32_t peak, int bits);

// The rates of the loaded channels, 0 for an empty one.
using LoadedRates = std::array<int32_t, kChannelCount>;
// Whether a channel at `rate` may join channels at the `loaded` rates: every loaded rate must be
// a multiple of the new rate's family base (11025 or 48000 Hz), or of the rate itself.
bool IsRateCompatibleWith(int32_t rate, const LoadedRates& loaded);

}  // namespace velmora
