#include "audio/FormatMask.h"

namespace velmora {

namespace {

// Shift of a rate's nibble; 192000 Hz has the next nibble, which no device reports.
int RateShift(uint32_t samplesPerSec) {
  switch (samplesPerSec) {
    case 22050:
      return 4;
    case 44100:
      return 8;
    case 48000:
      return 12;
    case 96000:
      return 16;
    case 192000:
      return 20;
    default:
      return 0;
  }
}

}  // namespace

uint32_t FormatBit(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels) {
  uint32_t bit = channels == 2 ? 2 : 1;
  if (bitsPerSample == 16) {
    bit *= 4;
  }
  return bit << RateShift(samplesPerSec);
}

uint32_t QueryFormatMask(const AudioBackend& backend, StreamDirection direction, int device) {
  uint32_t mask = 0;
  for (const FormatMaskEntry& entry : kFormatMaskTable) {
    const WaveFormat format =
        MakePcmFormat(entry.samplesPerSec, entry.bitsPerSample, entry.channels);
    if (backend.IsFormatSupported(direction, device, format)) {
      mask |= entry.bit;
    }
  }
  return mask;
}

WaveFormat MakePcmFormat(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels) {
  WaveFormat format;
  format.formatTag = 1;
  format.channels = channels;
  format.samplesPerSec = samplesPerSec;
  format.blockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
  format.avgBytesPerSec = samplesPerSec * format.blockAlign;
  format.bitsPerSample = bitsPerSample;
  format.cbSize = 0;
  return format;
}

}  // namespace velmora
