#pragma once
// Drives a MediaDecoder through one import: opens the file, finds its audio and video streams
// and the output that carries the audio, and collects every uncompressed sample in memory.
// Each failing step shows its own message through the Ui and returns the step's code.
// One instance per import, used on the user-interface thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "io/ByteBuffer.h"
#include "seams/MediaDecoder.h"

namespace velmora {

class Ui;

class CReader {
 public:
  CReader(Ui& ui, MediaDecoder& decoder) : ui_(ui), decoder_(decoder) {}
  CReader(const CReader&) = delete;
  CReader& operator=(const CReader&) = delete;

  // Range in milliseconds (or video frames when rangeInFrames is 1); rangeEnd 0 = to the end.
  MediaResult SetParams(uint64_t rangeStart, uint64_t rangeEnd, int32_t readCompressed,
                        int32_t audioOn, int32_t videoOn, int32_t rangeInFrames);
  MediaResult Open(const std::string& path);
  MediaResult ReadSamples();
  MediaResult Close();
  MediaResult FindStreamNumbers();
  MediaResult FindAudioOutput();

  std::unique_ptr<MediaReader> reader;  // created by the first Open, released by Close
  uint16_t audioStream = 0;             // 0 = none
  uint16_t videoStream = 0;             // 0 = none
  uint64_t rangeStart = 0;
  uint64_t rangeEnd = 0;
  int32_t readCompressed = 0;
  int32_t audioOn = 1;
  int32_t videoOn = 1;
  int32_t rangeInFrames = 0;
  uint32_t audioOutput = 0;
  std::optional<MediaFormat> outputFormat;
  uint32_t samplesFrames = 0;
  // Exactly samplesFrames frames of outputFormat once ReadSamples has succeeded; the caller may
  // take it over.
  ByteBuffer samples;

 private:
  MediaResult SelectStreams();
  // Appends whole frames of one delivered sample, growing `samples` geometrically.
  MediaResult AppendFrames(const MediaSample& sample, uint32_t blockAlign);
  MediaResult ShrinkToFrames(uint32_t blockAlign);
  // Shows `format` with the code in hexadecimal and returns the code.
  MediaResult ShowCode(const char* format, MediaResult code);

  Ui& ui_;
  MediaDecoder& decoder_;
  std::size_t samplesBytes_ = 0;  // bytes of `samples` in use; its size is the capacity
};

// True for a path that names a network stream rather than a file ("http" in any case).
bool IsNetworkStreamPath(const std::string& path);

}  // namespace velmora
