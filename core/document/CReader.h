#pragma once
// Drives an AudioDecoder through one compressed-audio import: opens the file, checks that it has
// audio, and collects every decoded block in memory as whole frames. Shows nothing: a failure is
// the step where the import stopped (FailureKind from NetworkStream to CollectSamples), with the
// decoder's code, and the document turns that into the program's messages. One instance per
// import, used on the user-interface thread.

#include <cstdint>
#include <memory>
#include <string>

#include "io/ByteBuffer.h"
#include "io/Failure.h"
#include "seams/AudioDecoder.h"

namespace velmora {

class CReader {
 public:
  explicit CReader(AudioDecoder& decoder) : decoder_(decoder) {}
  CReader(const CReader&) = delete;
  CReader& operator=(const CReader&) = delete;

  // Opens `path` and takes the format of its audio into outputFormat. A failure names the file,
  // and the system's reason where the decoder's code carries one.
  Result Open(const std::string& path);
  // Decodes the whole stream into `samples`, dropping a trailing partial frame of any block.
  Result ReadSamples();

  std::unique_ptr<DecodedStream> reader;  // set by a successful Open
  PcmFormat outputFormat;
  uint32_t samplesFrames = 0;
  // Exactly samplesFrames frames of outputFormat once ReadSamples has succeeded; the caller may
  // take it over.
  ByteBuffer samples;

 private:
  // Appends whole frames of one block, growing `samples` geometrically.
  bool AppendFrames(const PcmBlock& block, uint32_t blockAlign);
  bool ShrinkToFrames(uint32_t blockAlign);

  AudioDecoder& decoder_;
  std::size_t samplesBytes_ = 0;  // bytes of `samples` in use; its size is the capacity
};

// True for a path that names a network stream rather than a file ("http" in any case).
bool IsNetworkStreamPath(const std::string& path);

}  // namespace velmora
