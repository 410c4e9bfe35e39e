#include "document/WavHeader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "io/LittleEndian.h"

namespace velmora {

namespace {

std::array<char, 4> Id(const uint8_t* p) {
  return {char(p[0]), char(p[1]), char(p[2]), char(p[3])};
}
std::array<char, 4> Id(const char* text) {
  return {text[0], text[1], text[2], text[3]};
}
void PutId(uint8_t* p, const std::array<char, 4>& id) {
  std::memcpy(p, id.data(), 4);
}

}  // namespace

RiffHeader RiffHeader::Decode(const uint8_t* b) {
  RiffHeader h;
  h.riffId = Id(b);
  h.riffSize = le::U32(b + 4);
  h.waveId = Id(b + 8);
  h.fmtId = Id(b + 12);
  h.fmtSize = le::I32(b + 16);
  h.formatTag = le::U16(b + 20);
  h.channels = le::I16(b + 22);
  h.samplesPerSec = le::I32(b + 24);
  h.avgBytesPerSec = le::I32(b + 28);
  h.blockAlign = le::I16(b + 32);
  h.bitsPerSample = le::I16(b + 34);
  return h;
}

void RiffHeader::Encode(uint8_t* b) const {
  PutId(b, riffId);
  le::Put32(b + 4, riffSize);
  PutId(b + 8, waveId);
  PutId(b + 12, fmtId);
  le::Put32(b + 16, static_cast<uint32_t>(fmtSize));
  le::Put16(b + 20, formatTag);
  le::Put16(b + 22, static_cast<uint16_t>(channels));
  le::Put32(b + 24, static_cast<uint32_t>(samplesPerSec));
  le::Put32(b + 28, static_cast<uint32_t>(avgBytesPerSec));
  le::Put16(b + 32, static_cast<uint16_t>(blockAlign));
  le::Put16(b + 34, static_cast<uint16_t>(bitsPerSample));
}

ChunkHeader ChunkHeader::Decode(const uint8_t* b) {
  ChunkHeader c;
  c.id = Id(b);
  c.size = le::U32(b + 4);
  return c;
}

void ChunkHeader::Encode(uint8_t* b) const {
  PutId(b, id);
  le::Put32(b + 4, size);
}

bool ChunkHeader::Is(const char (&name)[5]) const {
  return std::memcmp(id.data(), name, 4) == 0;
}

void FillCanonical(RiffHeader& riff, ChunkHeader& data, int channels, int samplesPerSec,
                   int bitsPerSample, uint32_t frames) {
  riff.riffId = Id("RIFF");
  riff.waveId = Id("WAVE");
  riff.fmtId = Id("fmt ");
  riff.fmtSize = 16;
  riff.formatTag = kFormatPcm;
  riff.channels = static_cast<int16_t>(channels);
  riff.samplesPerSec = samplesPerSec;
  riff.bitsPerSample = static_cast<int16_t>(bitsPerSample);
  riff.blockAlign = static_cast<int16_t>(channels * bitsPerSample / 8);
  const int64_t perSecond = static_cast<int64_t>(riff.blockAlign) * samplesPerSec;
  riff.avgBytesPerSec =
      static_cast<int32_t>(std::clamp<int64_t>(perSecond, 0, std::numeric_limits<int32_t>::max()));
  data.id = Id("data");
  data.size = frames * static_cast<uint32_t>(riff.blockAlign);
  riff.riffSize = data.size + 36;
}

}  // namespace velmora
