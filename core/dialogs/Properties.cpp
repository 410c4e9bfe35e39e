#include "dialogs/Properties.h"

#include <cinttypes>

#include "document/VelmoraDoc.h"
#include "io/Format.h"

namespace velmora {

const char* const kPropertyTabNames[kPropertyTabCount] = {
    "出力ファイル", "チャンネル1", "チャンネル2", "チャンネル3", "チャンネル4"};

namespace {

PropertyEntry EntryOf(const RiffHeader& format, uint32_t frames, const std::string& path) {
  PropertyEntry entry;
  entry.sampleRate = format.samplesPerSec;
  entry.bitsPerSample = format.bitsPerSample;
  entry.channelCount = format.channels;
  entry.totalBytes = int64_t{entry.channelCount} * (entry.bitsPerSample / 8) * frames;
  // A format without a rate has no playing time (and nothing to divide by).
  if (entry.sampleRate > 0) {
    entry.playTimeMs =
        static_cast<int64_t>(static_cast<double>(frames) * 1000.0 / entry.sampleRate);
  }
  entry.fileName = path;
  return entry;
}

std::string NumberOrEmpty(int64_t value) {
  return value == 0 ? std::string() : Format("%" PRId64, value);
}

std::string PlayTimeOrEmpty(int64_t ms) {
  if (ms == 0) return std::string();
  return Format("%02" PRId64 ":%02" PRId64 ".%03" PRId64, ms / 60000, ms % 60000 / 1000, ms % 1000);
}

}  // namespace

PropertyEntries CollectProperties(const CVelmoraDoc& doc) {
  PropertyEntries entries;
  if (doc.HasMix()) entries[0] = EntryOf(doc.outHeader().riff, doc.mixFrames(), doc.outputPath());
  for (int i = 0; i < kChannelCount; ++i) {
    const ChannelSlot& slot = doc.slot(i);
    if (slot.HasData()) entries[i + 1] = EntryOf(slot.header, slot.frames, slot.path);
  }
  return entries;
}

PropertyTexts TextsOf(const PropertyEntry& entry) {
  PropertyTexts texts;
  texts.sampleRate = NumberOrEmpty(entry.sampleRate);
  texts.bitsPerSample = NumberOrEmpty(entry.bitsPerSample);
  texts.channelCount = NumberOrEmpty(entry.channelCount);
  texts.totalBytes = NumberOrEmpty(entry.totalBytes);
  texts.playTime = PlayTimeOrEmpty(entry.playTimeMs);
  texts.fileName = entry.fileName;
  return texts;
}

}  // namespace velmora
