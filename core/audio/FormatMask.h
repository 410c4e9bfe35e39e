#pragma once
// The standard wave capability bits: per rate a nibble (mono 8-bit 1, stereo 8-bit 2, mono
// 16-bit 4, stereo 16-bit 8), shifted by 0, 4, 8, 12, 16 for 11025, 22050, 44100, 48000, 96000 Hz.

#include <array>
#include <cstdint>

#include "seams/AudioBackend.h"

namespace velmora {

struct FormatMaskEntry {
  uint32_t bit;
  uint32_t samplesPerSec;
  uint16_t bitsPerSample;
  uint16_t channels;
};

// The 20 bits in bit order (the order the device dialog lists them).
inline constexpr std::array<FormatMaskEntry, 20> kFormatMaskTable = {{
    {0x1, 11025, 8, 1},      {0x2, 11025, 8, 2},      {0x4, 11025, 16, 1},
    {0x8, 11025, 16, 2},     {0x10, 22050, 8, 1},     {0x20, 22050, 8, 2},
    {0x40, 22050, 16, 1},    {0x80, 22050, 16, 2},    {0x100, 44100, 8, 1},
    {0x200, 44100, 8, 2},    {0x400, 44100, 16, 1},   {0x800, 44100, 16, 2},
    {0x1000, 48000, 8, 1},   {0x2000, 48000, 8, 2},   {0x4000, 48000, 16, 1},
    {0x8000, 48000, 16, 2},  {0x10000, 96000, 8, 1},  {0x20000, 96000, 8, 2},
    {0x40000, 96000, 16, 1}, {0x80000, 96000, 16, 2},
}};

// The bit of one recording format: 1 mono / 2 stereo, x4 for 16-bit, shifted by the rate's
// nibble; 192000 Hz uses shift 20, which no device reports; any other rate shift 0.
uint32_t FormatBit(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels);

// Asks the backend about every combination of the table; the bits of those it takes.
uint32_t QueryFormatMask(const AudioBackend& backend, StreamDirection direction, int device);

}  // namespace velmora
