#pragma once
// Parses a PCM WAV file straight into its final sample buffer. The result names the check that
// failed, so the document chooses the message in one place and tests can assert the reason.

#include <cstdint>
#include <functional>
#include <string>

#include "document/WavHeader.h"
#include "io/ByteBuffer.h"

namespace velmora {

enum class WavError {
  None,
  ReadFailed,         // cannot open, shorter than its header, no data chunk, chunk past the end
  NotPcm,             // format tag other than PCM (or extensible with another sub-format)
  ShortHeader,        // fmt size below 16
  UnsupportedFormat,  // not 1 or 2 channels, or not 8 or 16 bits
  RateMismatch,       // the rate check refused the file's rate
  OutOfMemory,
};

struct WavFile {
  RiffHeader header{};  // first 36 bytes; fmt size 16 and tag 1 after a larger or extensible fmt
  ChunkHeader dataChunk{};  // "data" and the number of sample bytes actually held
  ByteBuffer samples;
  uint32_t frames = 0;
};

// Reads `path`; `rateAccepted` is asked about the sample rate before the samples are read.
// A declared data size beyond the end of the file yields the bytes that are there.
WavError ReadWavFile(const std::string& path, const std::function<bool(int32_t)>& rateAccepted,
                     WavFile& out);

}  // namespace velmora
