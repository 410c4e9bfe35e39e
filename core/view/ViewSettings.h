#pragma once
// Fields of the main view shared by the mixer panel and the transport: the block length, the
// recording format the view adopts from the mix, and the chosen devices.

#include <cstdint>

namespace velmora {

struct ViewSettings {
  uint32_t blockFrames = 2048;  // frames per transport block, also given to BuildMix
  uint32_t recordRate = 44100;
  uint16_t recordBits = 16;
  uint16_t recordChannels = 2;
  uint32_t recordBlockFrames = 2048;
  uint32_t maxInputFormats = 0;
  bool recordFinishing = false;
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

}  // namespace velmora
