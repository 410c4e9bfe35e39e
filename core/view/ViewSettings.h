#pragma once
// Fields of the main view shared by the mixer panel and the transport: the block length, the
// recording format the view adopts from the mix, and the chosen devices; and the rules both
// apply to them.

#include <climits>
#include <cstdint>

namespace velmora {

struct ViewSettings {
  uint32_t blockFrames = 2048;  // frames per transport block, also given to BuildMix
  uint32_t recordRate = 44100;
  uint16_t recordBits = 16;
  uint16_t recordChannels = 2;
  uint32_t recordBlockFrames = 2048;
  uint32_t maxInputFormats = 0;
  int32_t inputDevice = -1;  // -1 = the system's default device
  int32_t outputDevice = -1;
  int32_t tuningHz = 440;
};

// Transport block length for a rate: 8192, 4096, 2048, 2048, 1024, 512 frames for 192000,
// 96000, 48000, 44100, 22050, 11025 Hz; 0 for any other rate.
constexpr uint32_t TransportBlockFrames(uint32_t rate) {
  switch (rate) {
    case 192000:
      return 8192;
    case 96000:
      return 4096;
    case 48000:
    case 44100:
      return 2048;
    case 22050:
      return 1024;
    case 11025:
      return 512;
    default:
      return 0;
  }
}

// Upper end of the position slider's range, which starts at 0: the last position leaves one
// block to play. 1 while the mix is not longer than one block (a track bar needs some range).
// Track bars take an int, so a longer mix stops the thumb at INT_MAX.
constexpr int PositionSliderMax(uint32_t mixFrames, uint32_t blockFrames) {
  const uint32_t max = mixFrames > blockFrames ? mixFrames - blockFrames : 1;
  return max > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(max);
}

}  // namespace velmora
