#include "support/DocumentFixture.h"

#include <cstring>

namespace velmora {

void PrintTo(MixBuild result, std::ostream* out) {
  static const char* const kNames[] = {"Built", "Building",          "AlreadyCurrent", "NoChannels",
                                       "Empty", "PositionBeyondEnd", "OutOfMemory",    "TooLong"};
  *out << kNames[static_cast<int>(result)];
}

namespace test {

ChannelSlot& PutChannel(CVelmoraDoc& doc, int index, ChannelFormat format,
                        const std::vector<uint8_t>& bytes) {
  ChannelSlot& slot = DocumentAccess::slot(doc, index);
  const uint32_t frameBytes = static_cast<uint32_t>(format.channels * format.bits / 8);
  const auto frames = static_cast<uint32_t>(bytes.size() / frameBytes);
  if (!slot.data.Allocate(bytes.size())) return slot;
  if (!bytes.empty()) std::memcpy(slot.data.data(), bytes.data(), bytes.size());
  FillCanonical(slot.header, slot.dataChunk, format.channels, format.rate, format.bits, frames);
  slot.frames = frames;
  slot.autoLevel = AutoLevelFromSamples(slot.data.data(), frames, format.channels, format.bits);
  slot.level = slot.autoLevel;
  slot.balance = kBalanceCentre;
  slot.offset = 0;
  slot.inUse = true;
  slot.selected = true;
  doc.SetMixStale(true);
  return slot;
}

ChannelSlot& PutSilence(CVelmoraDoc& doc, int index, ChannelFormat format, uint32_t frames) {
  const std::size_t bytes = std::size_t{frames} * format.channels * format.bits / 8;
  return PutChannel(doc, index, format,
                    std::vector<uint8_t>(bytes, format.bits == 8 ? uint8_t{128} : uint8_t{0}));
}

void PutMix(CVelmoraDoc& doc, uint32_t frames, uint32_t rate, int bits) {
  const std::size_t bytes = std::size_t{frames} * 2 * bits / 8;
  ByteBuffer& mix = DocumentAccess::mixBuffer(doc);
  if (!mix.Allocate(bytes)) return;
  std::memset(mix.data(), bits == 8 ? 128 : 0, bytes);
  DocumentAccess::mixFrames(doc) = frames;
  DocumentAccess::mixFormat(doc) = MixFormat{rate, bits};
  OutHeader& header = DocumentAccess::outHeader(doc);
  header.riff.samplesPerSec = static_cast<int32_t>(rate);
  header.riff.bitsPerSample = static_cast<int16_t>(bits);
  header.riff.channels = 2;
  doc.SetMixStale(false);
}

}  // namespace test
}  // namespace velmora
