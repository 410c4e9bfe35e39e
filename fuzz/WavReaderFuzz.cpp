// Feeds arbitrary bytes to the WAV reader, straight from memory, and scans the peak of whatever
// it accepts as the document does after a load.

#include <cstddef>
#include <cstdint>

#include "document/ChannelSlot.h"
#include "document/WavReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velmora::WavFile file;
  // What an empty document accepts.
  const auto rateAccepted = [](int32_t rate) { return rate > 0; };
  const velmora::WavResult result = velmora::ReadWavBytes(data, size, rateAccepted, file);
  if (result.ok()) {
    velmora::AutoLevelFromSamples(file.samples.data(), file.frames, file.header.channels,
                                  file.header.bitsPerSample);
  }
  return 0;
}
