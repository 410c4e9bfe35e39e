#pragma once
// Parses a PCM WAV image (bytes in memory, or a file read beside the parser) straight into its
// final sample buffer. The result names the check that failed and where in the image it looked,
// so the document chooses the message in one place and tests can assert the reason.

#include <cstdint>
#include <functional>
#include <string>
#include <system_error>

#include "document/WavHeader.h"
#include "io/ByteBuffer.h"
#include "io/ByteSource.h"

namespace velmora {

enum class WavError {
  None,
  CannotOpen,         // the file cannot be opened
  TruncatedHeader,    // the image ends inside the 36-byte header or the fmt chunk
  NotPcm,             // format tag other than PCM (or extensible with another sub-format)
  ShortHeader,        // fmt size below 16
  UnsupportedFormat,  // not 1 or 2 channels, not 8 or 16 bits, or a rate the program cannot play
  RateMismatch,       // the rate check refused the image's rate
  NoDataChunk,        // the image ends before a data chunk, or a chunk before it runs past the end
  OutOfMemory,
  ReadFailed,  // the samples could not be read
};

struct WavResult {
  WavError error = WavError::None;
  uint64_t offset = 0;  // where in the image the failing check looked
  std::error_code why;  // the system's reason, where it gave one (a file that cannot be opened)

  bool ok() const { return error == WavError::None; }
};

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
WavResult ParseWavLayout(ByteSource& source, const RateRule& rateAccepted, WavLayout& out);

// The layout, then the samples into a buffer of exactly the bytes the image holds (never of a
// declared size beyond its end).
WavResult ReadWav(ByteSource& source, const RateRule& rateAccepted, WavFile& out);
WavResult ReadWavBytes(const uint8_t* bytes, std::size_t size, const RateRule& rateAccepted,
                       WavFile& out);
WavResult ReadWavFile(const std::string& path, const RateRule& rateAccepted, WavFile& out);

}  // namespace velmora
