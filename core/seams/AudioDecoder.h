#pragma once
// Seam to the decoder of compressed audio files (FFmpeg in platform/media, a fake in the tests):
// open a file, learn the PCM format of its audio, take the decoded samples block by block. All
// calls come from the user-interface thread.
//
// Codes are 32-bit values that the import's messages show in eight hexadecimal digits: 0 is
// success, a negative value a failure. A decoder passes its own codes on (FFmpeg's negative error
// numbers) and uses the fixed codes below where they apply. A failure the system reported (a file
// missing, not readable) is the negative of the system's error number, as FFmpeg gives it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace velmora {

using DecoderCode = int32_t;

constexpr DecoderCode kDecoderOk = 0;
constexpr DecoderCode kCodeInvalidArgument = static_cast<DecoderCode>(0x80070057u);
constexpr DecoderCode kCodeUnexpected = static_cast<DecoderCode>(0x8000FFFFu);
constexpr DecoderCode kCodeOutOfMemory = static_cast<DecoderCode>(0x8007000Eu);
constexpr DecoderCode kCodeNotADiskFile = static_cast<DecoderCode>(0x80004005u);
// Codes from -1 down to -(kLargestSystemError - 1) carry a system error number.
constexpr DecoderCode kLargestSystemError = 4096;

inline bool DecoderFailed(DecoderCode code) {
  return code < 0;
}

// Interleaved PCM: 16-bit samples are signed little-endian, 8-bit ones unsigned.
struct PcmFormat {
  int channels = 0;
  int samplesPerSec = 0;
  int bitsPerSample = 0;
};

// Decoded bytes in the stream's format, whole frames or not; valid until the next call on the
// stream that gave them.
struct PcmBlock {
  const uint8_t* bytes = nullptr;
  std::size_t length = 0;
};

// One open file whose first audio stream is decoded from its start.
class DecodedStream {
 public:
  virtual ~DecodedStream() = default;
  // The format of every block; none when the file holds no audio stream.
  virtual std::optional<PcmFormat> format() const = 0;
  // The next block: kDecoderOk with the samples, kDecoderOk with an empty block once the audio has
  // ended, or a failure code.
  virtual DecoderCode Next(PcmBlock& block) = 0;
};

class AudioDecoder {
 public:
  virtual ~AudioDecoder() = default;
  // Opens `path` (UTF-8, any length). On success `stream` holds the file until it is destroyed.
  virtual DecoderCode Open(const std::string& path, std::unique_ptr<DecodedStream>& stream) = 0;
};

}  // namespace velmora
