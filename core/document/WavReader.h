#pragma once
// Parses a PCM WAV image (bytes in memory, or a file read beside the parser) straight into its
// final sample buffer. A failure names the check that failed and where in the image it looked
// (FailureKind from CannotOpen to ReadFailed), so the document chooses the message in one place
// and tests can assert the reason.

#include <cstdint>
#include <functional>
#include <string>

#include "document/WavHeader.h"
#include "io/ByteBuffer.h"
#include "io/ByteSource.h"
#include "io/Failure.h"

namespace velmora {

// What the bytes before the samples say.
struct WavLayout {
  RiffHeader header{};  // first 36 bytes; fmt size 16 and tag 1 after a larger or extensible fmt
  ChunkHeader dataChunk{};  // "data" and its declared size
  uint64_t dataOffset = 0;  // of the first sample byte
  uint32_t dataBytes = 0;   // sample bytes the image holds: the declared size, cut at its end
};

struct WavFile {
  RiffHeader header{};
  ChunkHeader dataChunk{};  // "data" and the number of sample bytes actually held
  ByteBuffer samples;
  uint32_t frames = 0;
};

using RateRule = std::function<bool(int32_t samplesPerSec)>;

// Checks the header and finds the data chunk; `rateAccepted` is asked about the sample rate.
// Reads only the header, the fmt chunk and the chunk headers before the data, a window at a time.
// An odd-sized chunk is followed by a pad byte, which some writers leave out: both forms are read.
Result ParseWavLayout(ByteSource& source, const RateRule& rateAccepted, WavLayout& out);

// The layout, then the samples into a buffer of exactly the bytes the image holds (never of a
// declared size beyond its end).
Result ReadWav(ByteSource& source, const RateRule& rateAccepted, WavFile& out);
Result ReadWavBytes(const uint8_t* bytes, std::size_t size, const RateRule& rateAccepted,
                    WavFile& out);
// A failure names the file.
Result ReadWavFile(const std::string& path, const RateRule& rateAccepted, WavFile& out);

}  // namespace velmora
