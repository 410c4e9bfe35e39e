#pragma once
// The property dialog's content (template 163): the format, size, playing time and file of the
// mix and of each channel, collected from the document before the dialog shows, and the texts
// each tab shows. The dialog only displays them.

#include <array>
#include <cstdint>
#include <string>

namespace velmora {

class CVelmoraDoc;

namespace propctl {
constexpr int kTabs = 1043;
constexpr int kSampleRate = 1032;
constexpr int kBitsPerSample = 1026;
constexpr int kChannelCount = 1027;
constexpr int kTotalBytes = 1028;
constexpr int kPlayTime = 1029;
constexpr int kFileName = 1030;
}  // namespace propctl

// One tab's values; all numbers 0 and the name empty where there is no data.
struct PropertyEntry {
  int32_t sampleRate = 0;
  int32_t bitsPerSample = 0;
  int32_t channelCount = 0;
  int64_t totalBytes = 0;  // 64-bit: a mix beyond 2 GiB keeps its true size
  int64_t playTimeMs = 0;
  std::string fileName;  // full path, UTF-8
};

constexpr int kPropertyTabCount = 5;
// Entry 0 is the mix ("出力ファイル"), entries 1..4 are channels 1..4.
using PropertyEntries = std::array<PropertyEntry, kPropertyTabCount>;

extern const char* const kPropertyTabNames[kPropertyTabCount];

// What the tab shows in each field: decimal numbers, the playing time as "%02d:%02d.%03d"
// (minutes beyond two digits as they come), empty fields for zeros, and the full path.
struct PropertyTexts {
  std::string sampleRate;
  std::string bitsPerSample;
  std::string channelCount;
  std::string totalBytes;
  std::string playTime;
  std::string fileName;
};

// Reads the document: the mix's format from its output header, its length and output path;
// each loaded channel's format, length and source path.
PropertyEntries CollectProperties(const CVelmoraDoc& doc);

PropertyTexts TextsOf(const PropertyEntry& entry);

}  // namespace velmora
