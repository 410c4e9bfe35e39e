#pragma once
// A read-only stream over a file of our own, as FFmpeg's custom I/O context: the demuxer reads
// and seeks through the callbacks here, so paths of any length and characters work the same on
// every system and nothing but this object touches the file.

#include <cstdint>
#include <string>

#include "seams/MediaDecoder.h"

struct AVIOContext;

namespace velmora {

class CROStream {
 public:
  CROStream() = default;
  ~CROStream();
  CROStream(const CROStream&) = delete;
  CROStream& operator=(const CROStream&) = delete;

  // Opens a regular file for reading. Failures: the system's error as FFmpeg's error code,
  // kEFail for something that is not a disk file, kEOutOfMemory when the context cannot be made.
  MediaResult Open(const std::string& utf8Path);
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
