#pragma once
// Seam to the platform's decoder of compressed audio files. CReader drives it step by step so
// that every step keeps its own message and result code; platform/media implements it with
// FFmpeg and the tests with a scripted fake. All calls come from the user-interface thread.
//
// Results are 32-bit codes in the manner of an HRESULT: 0 is success, a negative value is a
// failure and is shown to the user as eight hexadecimal digits. A decoder passes its own codes
// on (FFmpeg's negative error numbers) and uses the fixed codes below where they apply.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace velmora {

using MediaResult = int32_t;

constexpr MediaResult kMediaOk = 0;
constexpr MediaResult kEInvalidArg = static_cast<MediaResult>(0x80070057u);
constexpr MediaResult kEUnexpected = static_cast<MediaResult>(0x8000FFFFu);
constexpr MediaResult kEOutOfMemory = static_cast<MediaResult>(0x8007000Eu);
constexpr MediaResult kEFail = static_cast<MediaResult>(0x80004005u);
// Returned by GetNextSample once the selected streams have delivered everything.
constexpr MediaResult kNoMoreSamples = static_cast<MediaResult>(0xC00D0BCFu);

inline bool MediaFailed(MediaResult result) {
  return result < 0;
}

enum class MediaType { Audio, Video, Other };

// The fields of the platform's PCM wave format record.
struct MediaFormat {
  uint16_t formatTag = 1;
  int16_t channels = 0;
  int32_t samplesPerSec = 0;
  int32_t avgBytesPerSec = 0;
  int16_t blockAlign = 0;
  int16_t bitsPerSample = 0;
};

// One output of an open file: its major type and, for audio, the uncompressed format the
// reader delivers by default.
struct MediaOutput {
  MediaType type = MediaType::Other;
  MediaFormat format;
};

// Uncompressed bytes handed out by GetNextSample; valid until the next call on the reader.
struct MediaSample {
  const uint8_t* bytes = nullptr;
  std::size_t length = 0;
};

// One file being read. Streams are numbered from 1 (0 means "none"); outputs from 0.
// By default every stream is selected and delivered uncompressed over the whole file.
class MediaReader {
 public:
  virtual ~MediaReader() = default;

  // Opens `path` (UTF-8, any length) through the reader's own read-only file stream.
  virtual MediaResult Open(const std::string& path) = 0;
  virtual MediaResult GetStreamCount(uint32_t& count) = 0;
  virtual MediaResult GetStreamNumber(uint32_t index, uint16_t& number) = 0;
  virtual MediaResult GetStreamType(uint32_t index, MediaType& type) = 0;
  virtual MediaResult GetOutputCount(uint32_t& count) = 0;
  virtual MediaResult GetOutputMediaType(uint32_t output, MediaOutput& out) = 0;
  virtual MediaResult SetStreamSelected(uint16_t stream, bool selected) = 0;
  virtual MediaResult SetReadStreamSamples(uint16_t stream, bool compressed) = 0;
  // First frame and count of frames of a video stream (count 0 = to the end).
  virtual MediaResult SetRangeByFrame(uint16_t stream, uint64_t firstFrame, uint64_t count) = 0;
  // Start and duration in 100-nanosecond units (duration 0 = to the end).
  virtual MediaResult SetRange(uint64_t start, uint64_t duration) = 0;
  // The next block of uncompressed samples of the selected streams, or kNoMoreSamples.
  virtual MediaResult GetNextSample(MediaSample& sample) = 0;
  // Closes the file; on failure the reader stays open.
  virtual MediaResult Close() = 0;
};

class MediaDecoder {
 public:
  virtual ~MediaDecoder() = default;
  virtual MediaResult CreateReader(std::unique_ptr<MediaReader>& reader) = 0;
};

}  // namespace velmora
