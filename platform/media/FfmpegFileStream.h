#pragma once
// A read-only stream over a file of our own, as FFmpeg's custom I/O context: the demuxer reads
// and seeks through the callbacks here, so paths of any length and characters work the same on
// every system and nothing but this object touches the file.

#include <cstdint>
#include <string>

#include "seams/AudioDecoder.h"

struct AVIOContext;

namespace velmora {

class FfmpegFileStream {
 public:
  FfmpegFileStream() = default;
  ~FfmpegFileStream();
  FfmpegFileStream(const FfmpegFileStream&) = delete;
  FfmpegFileStream& operator=(const FfmpegFileStream&) = delete;

  // Opens a regular file for reading. Failures: the system's error as FFmpeg's error code,
  // kCodeNotADiskFile for something that is not a disk file, kCodeOutOfMemory when the context
  // cannot be made.
  DecoderCode Open(const std::string& utf8Path);
  // Valid while the stream is open; owned by the stream.
  AVIOContext* context() { return context_; }

  // The callbacks' bodies. Read gives the byte count, AVERROR_EOF at the end or an error code.
  // Seek takes the origins 0, 1 and 2 (begin, current, end) and FFmpeg's size query, and gives
  // the new position or an error code; any other origin is AVERROR(EINVAL).
  int Read(uint8_t* buffer, int size);
  int64_t Seek(int64_t offset, int whence);

 private:
  void Close();

  int handle_ = -1;
  AVIOContext* context_ = nullptr;
};

}  // namespace velmora
