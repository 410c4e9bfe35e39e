// What the system cannot hold is refused before it is taken, and header arithmetic stays within
// its fields whatever the numbers.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "document/VelmoraDoc.h"
#include "document/WavHeader.h"
#include "io/AvailableMemory.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

// The system reports `bytes` available while the object lives.
class ReportedMemory {
 public:
  explicit ReportedMemory(uint64_t bytes) {
    bytes_ = bytes;
    SetMemoryProbeForTesting([] { return std::optional<uint64_t>(bytes_); });
  }
  ~ReportedMemory() { SetMemoryProbeForTesting(nullptr); }
  ReportedMemory(const ReportedMemory&) = delete;
  ReportedMemory& operator=(const ReportedMemory&) = delete;

 private:
  static inline uint64_t bytes_ = 0;
};

constexpr uint64_t kMegabyte = uint64_t{1} << 20;

TEST(Limits, WhatTheSystemCannotHoldIsRefusedBeforeItIsTaken) {
  struct Case {
    const char* name;
    uint64_t available;
    uint32_t sampleBytes;  // of the one 44100 Hz 16-bit stereo channel
    int32_t offsetMs;      // 100 s of offset make a mix of 17.6 MB
    bool loads;
    bool mixes;
  };
  const std::vector<Case> cases = {
      {"a mix larger than the memory left", 8 * kMegabyte, 4000, 100000, true, false},
      {"the same mix with room for it", 64 * kMegabyte, 4000, 100000, true, true},
      {"a channel larger than the memory left", kMegabyte, 2 * 1024 * 1024, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string path =
        test::WriteWav(dir, "in.wav", test::WavSpec{}, std::vector<uint8_t>(c.sampleBytes));
    test::FakeUi ui;
    CVelmoraDoc doc(ui);
    const ReportedMemory memory(c.available);

    ASSERT_EQ(doc.LoadIntoSlot(0, path), c.loads);
    if (c.loads) {
      doc.SetOffset(0, c.offsetMs);
      doc.BuildMix(4096, false);
    }

    EXPECT_EQ(doc.HasMix(), c.mixes);
    const std::vector<std::string> told = c.loads && c.mixes
                                              ? std::vector<std::string>{}
                                              : std::vector<std::string>{msg::kOutOfMemory};
    EXPECT_EQ(ui.Texts(), told);
    if (!c.mixes) {
      EXPECT_EQ(doc.mixFrames(), 0u);
    }
  }
}

TEST(Limits, BytesPerSecondStayWithinTheirFieldAtAnyRate) {
  struct Case {
    int channels, bits, rate;
    int32_t bytesPerSecond;
  };
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  const std::vector<Case> cases = {
      {2, 16, 44100, 176400},   {1, 8, 11025, 11025}, {2, 16, 536870911, 2147483644},
      {2, 16, 536870912, kMax}, {2, 16, kMax, kMax},  {1, 16, -5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    RiffHeader riff;
    ChunkHeader data;
    FillCanonical(riff, data, c.channels, c.rate, c.bits, 10);
    EXPECT_EQ(riff.avgBytesPerSec, c.bytesPerSecond);
    EXPECT_EQ(riff.blockAlign, c.channels * c.bits / 8);
  }
}

}  // namespace
}  // namespace velmora
