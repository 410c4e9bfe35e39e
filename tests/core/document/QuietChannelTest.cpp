// The automatic level of a quiet channel wherever it is computed (loading, a take, mono
// conversion, trim): any signal, however far under 1 % of full scale, counts as at least 1 %, so
// that the channel is mixed at unity gain where it stands; only a silent channel stays out of the
// mix.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "SaveSupport.h"

namespace velmora {
namespace {

using test::DocWithFiles;
using test::Spec;

struct QuietCase {
  int bits;
  int32_t peak;  // largest |sample| (8-bit: deviation from 128)
  int32_t autoLevel;
};

// Around the two places where the peak rule's integer steps give 0 %: under 1 % of full scale
// (328 of 32768, 2 of 128) and under 0.5 % (164, 1); then the first peak the rule itself gives 2 %.
constexpr QuietCase kCases[] = {
    {16, 0, 200},   {16, 1, 199}, {16, 163, 199}, {16, 164, 199}, {16, 327, 199}, {16, 328, 199},
    {16, 656, 198}, {8, 0, 200},  {8, 1, 199},    {8, 2, 199},    {8, 3, 198},
};

constexpr int kRate = 11025;
constexpr uint32_t kLoudFrames = 300;
constexpr uint32_t kQuietFrames = 400;

// A mono channel whose largest magnitude is `peak`, reached both ways; in the channel's bytes.
std::vector<uint8_t> QuietSamples(int bits, int32_t peak) {
  const int32_t pattern[] = {0, peak / 2, -peak, peak / 3, peak};
  std::vector<int16_t> values(kQuietFrames);
  for (uint32_t f = 0; f < kQuietFrames; ++f) values[f] = static_cast<int16_t>(pattern[f % 5]);
  if (bits == 16) return test::Pcm16(values);
  std::vector<uint8_t> bytes(kQuietFrames);
  for (uint32_t f = 0; f < kQuietFrames; ++f) bytes[f] = static_cast<uint8_t>(128 + values[f]);
  return bytes;
}

std::vector<uint8_t> FullScale(int bits, uint32_t samples) {
  if (bits == 8) return std::vector<uint8_t>(samples, 0);
  return test::Pcm16(std::vector<int16_t>(samples, -32768));
}

// The largest magnitude in the document's freshly built mix.
int32_t MixPeak(CVelmoraDoc& doc) {
  EXPECT_EQ(doc.BuildMix(512, false), MixBuild::Built);
  return PeakOfSamples(doc.mixBuffer().data(), uint64_t{doc.mixFrames()} * 2, doc.MixBits());
}

// Each way a channel's level is set, leaving the quiet channel in slot 0.
struct Path {
  const char* name;
  std::function<void(DocWithFiles&, const QuietCase&)> fill;
};

const Path kPaths[] = {
    {"load",
     [](DocWithFiles& f, const QuietCase& c) {
       f.Load(0, Spec(1, kRate, c.bits), QuietSamples(c.bits, c.peak));
     }},
    {"take",
     [](DocWithFiles& f, const QuietCase& c) {
       const std::vector<uint8_t> bytes = QuietSamples(c.bits, c.peak);
       ByteBuffer take;
       ASSERT_TRUE(take.Allocate(bytes.size()));
       std::copy(bytes.begin(), bytes.end(), take.data());
       ChannelSlot slot;
       slot.HoldRecording(std::move(take), kQuietFrames, 1, kRate, c.bits);
       f.doc.Apply(ChannelContentChange{0, std::move(slot), ChannelEvent::Recorded});
     }},
    {"mono",
     // A full-scale right side that the balance leaves out of the mono channel.
     [](DocWithFiles& f, const QuietCase& c) {
       const std::vector<uint8_t> left = QuietSamples(c.bits, c.peak);
       const std::vector<uint8_t> right = FullScale(c.bits, kQuietFrames);
       const std::size_t width = c.bits / 8;
       std::vector<uint8_t> stereo;
       for (std::size_t at = 0; at < left.size(); at += width) {
         stereo.insert(stereo.end(), left.begin() + at, left.begin() + at + width);
         stereo.insert(stereo.end(), right.begin() + at, right.begin() + at + width);
       }
       f.Load(0, Spec(2, kRate, c.bits), stereo);
       ASSERT_EQ(f.doc.slot(0).autoLevel, 100);
       f.doc.SetBalance(0, 0);
       ASSERT_TRUE(f.doc.ConvertToMono(0));
       f.doc.SetBalance(0, kBalanceCentre);
     }},
    {"trim",
     // A full-scale head cut off at the start mark.
     [](DocWithFiles& f, const QuietCase& c) {
       std::vector<uint8_t> bytes = FullScale(c.bits, kLoudFrames);
       const std::vector<uint8_t> quiet = QuietSamples(c.bits, c.peak);
       bytes.insert(bytes.end(), quiet.begin(), quiet.end());
       f.Load(0, Spec(1, kRate, c.bits), bytes);
       ASSERT_EQ(f.doc.slot(0).autoLevel, 100);
       f.doc.SetStartMark(kLoudFrames);
       f.doc.TrimToMarks(0);
       ASSERT_EQ(f.doc.slot(0).frames, kQuietFrames);
     }},
};

TEST(QuietChannel, AnySignalPlaysAtUnityWhereItLoadsAndOnlySilenceIsLeftOut) {
  for (const Path& path : kPaths) {
    for (const QuietCase& c : kCases) {
      SCOPED_TRACE(testing::Message() << path.name << ", " << c.bits << "-bit peak " << c.peak);
      DocWithFiles f;
      path.fill(f, c);
      const ChannelSlot& slot = f.doc.slot(0);
      ASSERT_TRUE(slot.HasData());
      EXPECT_EQ(slot.autoLevel, c.autoLevel);
      EXPECT_EQ(slot.level, c.autoLevel);
      // Unity gain: the mix reaches exactly the channel's own peak.
      EXPECT_EQ(MixPeak(f.doc), c.peak);
      EXPECT_TRUE(f.ui.messages.empty());
    }
  }
}

TEST(QuietChannel, TheSliderMovesAQuietChannelAsAnyOther) {
  DocWithFiles f;
  f.Load(0, Spec(1, kRate, 16), QuietSamples(16, 100));
  ASSERT_EQ(f.doc.slot(0).autoLevel, 199);
  f.doc.SetLevel(0, 198);  // twice the gain
  EXPECT_EQ(MixPeak(f.doc), 200);
  f.doc.SetLevel(0, 200);  // the bottom of the slider is silence
  EXPECT_EQ(MixPeak(f.doc), 0);
}

}  // namespace
}  // namespace velmora
