#include "document/ChannelSlot.h"

#include <algorithm>
#include <utility>

namespace velmora {

void ChannelSlot::Clear() {
  data.Reset();
  frames = 0;
  autoLevel = 0;
  selected = false;
  inUse = false;
  level = kDefaultLevel;
  balance = kBalanceCentre;
  offset = 0;
  path.clear();
  header = RiffHeader{};
  dataChunk = ChunkHeader{};
}

ChannelSlot ChannelSlot::WithSamples(ByteBuffer samples) const {
  ChannelSlot copy;
  copy.inUse = inUse;
  copy.level = level;
  copy.balance = balance;
  copy.offset = offset;
  copy.data = std::move(samples);
  copy.autoLevel = autoLevel;
  copy.header = header;
  copy.dataChunk = dataChunk;
  copy.path = path;
  copy.frames = frames;
  copy.selected = selected;
  return copy;
}

void ChannelSlot::HoldRecording(ByteBuffer samples, uint32_t sampleFrames, int channels,
                                int samplesPerSec, int bits) {
  data = std::move(samples);
  frames = sampleFrames;
  FillCanonical(header, dataChunk, channels, samplesPerSec, bits, frames);
  inUse = true;
  selected = true;
  autoLevel = AutoLevelFromSamples(data.data(), frames, channels, bits);
  level = autoLevel;
  balance = kBalanceCentre;
  offset = 0;
}

namespace {

// The largest |sample| of little-endian 16-bit samples. Kept as a min/max reduction over
// fixed-size runs so that the compiler vectorises it: a channel of an hour is scanned on every
// load, and a plain abs/max loop over assembled bytes costs as much as reading the file.
int32_t PeakOf16Bit(const uint8_t* data, uint64_t samples) {
  constexpr uint64_t kRun = 4096;
  int16_t low = 0;
  int16_t high = 0;
  for (uint64_t start = 0; start < samples; start += kRun) {
    const uint64_t count = std::min(kRun, samples - start);
    const uint8_t* bytes = data + 2 * start;
    int16_t runLow = 0;
    int16_t runHigh = 0;
    for (uint64_t i = 0; i < count; ++i) {
      const auto s = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i]) |
                                          static_cast<uint16_t>(bytes[2 * i + 1] << 8));
      runLow = std::min(runLow, s);
      runHigh = std::max(runHigh, s);
    }
    low = std::min(low, runLow);
    high = std::max(high, runHigh);
  }
  return std::max<int32_t>(high, -static_cast<int32_t>(low));
}

int32_t PeakOf8Bit(const uint8_t* data, uint64_t samples) {
  uint8_t low = 128;
  uint8_t high = 128;
  for (uint64_t i = 0; i < samples; ++i) {
    low = std::min(low, data[i]);
    high = std::max(high, data[i]);
  }
  return std::max(high - 128, 128 - low);
}

}  // namespace

int32_t PeakOfSamples(const uint8_t* data, uint64_t samples, int bits) {
  return bits == 16 ? PeakOf16Bit(data, samples) : PeakOf8Bit(data, samples);
}

int32_t AutoLevelFromPeak(int32_t peak, int bits) {
  const int32_t g = peak * 200 / (bits == 16 ? 32768 : 128);
  // Under 1 % of full scale the steps give 0 %, which the mixdown takes for silence and leaves
  // out: any signal counts as at least 1 %, so that a quiet take is mixed at unity gain.
  const int32_t percent = std::max(g / 2, peak > 0 ? 1 : 0);
  return 200 - percent;
}

int32_t AutoLevelFromSamples(const uint8_t* data, uint32_t frames, int channels, int bits) {
  const uint64_t samples = static_cast<uint64_t>(frames) * (channels == 2 ? 2 : 1);
  return AutoLevelFromPeak(PeakOfSamples(data, samples, bits), bits);
}

bool IsRateCompatibleWith(int32_t rate, const LoadedRates& loaded) {
  if (rate <= 0) return false;
  int32_t base = rate;
  if (rate % 11025 == 0) {
    base = 11025;
  } else if (rate % 48000 == 0) {
    base = 48000;
  }
  // The mixdown repeats each sample mix rate / channel rate times (integer division), so every
  // rate must divide the mix rate, the highest of them, or its channel plays at the wrong speed.
  int32_t mixRate = rate;
  for (const int32_t other : loaded) mixRate = std::max(mixRate, other);
  for (const int32_t other : loaded) {
    if (other <= 0) continue;
    if (other % base != 0 || mixRate % other != 0) return false;
  }
  return mixRate % rate == 0;
}

}  // namespace velmora
