#pragma once
// The standard wave capability bits: per rate a nibble (mono 8-bit 1, stereo 8-bit 2, mono
// 16-bit 4, stereo 16-bit 8), shifted by 0, 4, 8, 12, 16 for 11025, 22050, 44100, 48000, 96000 Hz.

#include <array>
#include <cstdint>

#include "audio/AudioBackend.h"

namespace velmora {

struct FormatMaskEntry {
  uint32_t bit;
  uint32_t samplesPerSec;
  uint16_t bitsPerSample;
  uint16_t channels;
};

// The 20 bits in bit order (the order the device dialog lists them).
extern const std::array<FormatMaskEntry, 20> kFormatMaskTable;

// The bit of one recording format: 1 mono / 2 stereo, x4 for 16-bit, shifted by the rate's
// nibble; 192000 Hz uses shift 20, which no device reports; any other rate shift 0.
uint32_t FormatBit(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels);

// Asks the backend about every combination of the table; the bits of those it takes.
uint32_t QueryFormatMask(const AudioBackend& backend, StreamDirection direction, int device);

}  // namespace velmora
