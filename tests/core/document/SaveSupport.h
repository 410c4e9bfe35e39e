#pragma once
// A document with a scripted Ui and a private folder, filled from generated WAV files: shared by
// the save and channel-edit tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "document/VelmoraDoc.h"
#include "document/WavHeader.h"
#include "io/LittleEndian.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"

namespace velmora::test {

struct DocWithFiles {
  FakeUi ui;
  CVelmoraDoc doc{ui};
  TempDir dir;

  // Loads `data` (sample bytes in `spec`'s format) into slot `index` through the reader.
  void Load(int index, const WavSpec& spec, const std::vector<uint8_t>& data) {
    const std::string path = WriteWav(dir, "in" + std::to_string(index) + ".wav", spec, data);
    ASSERT_TRUE(doc.LoadIntoSlot(index, path)) << "loading " << path;
  }
  // A channel that exists in no file, as a recording leaves it.
  void LoadUnsaved(int index, const WavSpec& spec, const std::vector<uint8_t>& data) {
    Load(index, spec, data);
    test::DocumentAccess::slot(doc, index).path.clear();
  }
};

// `frames` stereo 16-bit frames: left ramps up by `step`, right is its negative.
inline std::vector<uint8_t> StereoRamp16(uint32_t frames, int step = 7) {
  std::vector<int16_t> samples;
  samples.reserve(2 * static_cast<std::size_t>(frames));
  for (uint32_t f = 0; f < frames; ++f) {
    const auto v = static_cast<int16_t>((static_cast<int32_t>(f) * step) % 20000);
    samples.push_back(v);
    samples.push_back(static_cast<int16_t>(-v));
  }
  return Pcm16(samples);
}

inline WavSpec Spec(int channels, int rate, int bits) {
  WavSpec spec;
  spec.channels = channels;
  spec.rate = rate;
  spec.bits = bits;
  return spec;
}

inline int16_t SampleAt(const std::vector<uint8_t>& bytes, std::size_t sample) {
  return le::I16(bytes.data() + 2 * sample);
}

inline std::vector<uint8_t> BytesOf(const uint8_t* data, std::size_t size) {
  return std::vector<uint8_t>(data, data + size);
}

// The 44-byte header and the samples of a file as this program writes it.
struct SavedWav {
  RiffHeader riff;
  ChunkHeader data;
  std::vector<uint8_t> samples;
};

inline SavedWav ParseSaved(const std::vector<uint8_t>& file) {
  SavedWav saved;
  if (file.size() < OutHeader::kBytes) {
    ADD_FAILURE() << "file of " << file.size() << " bytes has no 44-byte header";
    return saved;
  }
  saved.riff = RiffHeader::Decode(file.data());
  saved.data = ChunkHeader::Decode(file.data() + RiffHeader::kBytes);
  saved.samples.assign(file.begin() + OutHeader::kBytes, file.end());
  return saved;
}

// Every header rule of a saved file, for the given format and frame count.
inline void ExpectCanonical(const SavedWav& saved, int channels, int rate, int bits,
                            uint32_t frames) {
  const int blockAlign = channels * bits / 8;
  EXPECT_EQ(std::string(saved.riff.riffId.data(), 4), "RIFF");
  EXPECT_EQ(std::string(saved.riff.waveId.data(), 4), "WAVE");
  EXPECT_EQ(std::string(saved.riff.fmtId.data(), 4), "fmt ");
  EXPECT_EQ(std::string(saved.data.id.data(), 4), "data");
  EXPECT_EQ(saved.riff.fmtSize, 16);
  EXPECT_EQ(saved.riff.formatTag, 1);
  EXPECT_EQ(saved.riff.channels, channels);
  EXPECT_EQ(saved.riff.samplesPerSec, rate);
  EXPECT_EQ(saved.riff.bitsPerSample, bits);
  EXPECT_EQ(saved.riff.blockAlign, blockAlign);
  EXPECT_EQ(saved.riff.avgBytesPerSec, blockAlign * rate);
  EXPECT_EQ(saved.data.size, frames * static_cast<uint32_t>(blockAlign));
  EXPECT_EQ(saved.riff.riffSize, saved.data.size + 36);
  EXPECT_EQ(saved.samples.size(), saved.data.size);
}

}  // namespace velmora::test
