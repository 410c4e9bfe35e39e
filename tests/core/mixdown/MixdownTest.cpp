#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ReferenceMixdown.h"
#include "document/VelmoraDoc.h"
#include "mixdown/Mixdown.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

// ---------------------------------------------------------------------------------------------
// Helpers

// Interleaved signed sample values of one channel; 8-bit values are stored as value + 128.
struct Pcm {
  int rate = 44100;
  int channels = 2;
  int bits = 16;
  std::vector<int32_t> samples;
};

std::vector<uint8_t> BytesOf(const Pcm& pcm) {
  std::vector<uint8_t> bytes;
  for (int32_t v : pcm.samples) {
    if (pcm.bits == 16) {
      bytes.push_back(static_cast<uint8_t>(v & 0xFF));
      bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    } else {
      bytes.push_back(static_cast<uint8_t>(v + 128));
    }
  }
  return bytes;
}

// Puts samples into a slot as loading does: level at the channel's own peak, selected, centred.
ChannelSlot& PutChannel(CVelmoraDoc& doc, int index, const Pcm& pcm) {
  return test::PutChannel(doc, index, {pcm.rate, pcm.channels, pcm.bits}, BytesOf(pcm));
}

Pcm Mono16(int rate, std::vector<int32_t> samples) {
  return Pcm{rate, 1, 16, std::move(samples)};
}

// A mono 16-bit channel of `frames` frames all holding `value`.
Pcm Constant16(int rate, uint32_t frames, int32_t value) {
  return Pcm{rate, 1, 16, std::vector<int32_t>(frames, value)};
}

int32_t Sample16(const CVelmoraDoc& doc, uint32_t frame, int side) {
  const uint8_t* p = doc.mixBuffer().data() + 4 * static_cast<std::size_t>(frame) +
                     2 * static_cast<std::size_t>(side);
  return static_cast<int16_t>(p[0] | (p[1] << 8));
}

std::string Describe(const std::vector<MixCorrection>& runs) {
  std::string text;
  for (const MixCorrection& run : runs) {
    text += "{" + std::to_string(run.start) + "," + std::to_string(run.count) + "}";
  }
  return text;
}

class MixDriver : public ::testing::Test {
 protected:
  test::FakeUi ui;
  CVelmoraDoc doc{ui};
};

// ---------------------------------------------------------------------------------------------
// The driver

TEST_F(MixDriver, NoChannelBuildsNothing) {
  EXPECT_EQ(doc.BuildMix(2048, false), MixBuild::NoChannels);
  EXPECT_FALSE(doc.HasMix());
  EXPECT_EQ(doc.mixFrames(), 0u);
}

TEST_F(MixDriver, ACurrentMixIsKeptAndAStaleOneRebuilt) {
  PutChannel(doc, 0, Constant16(44100, 100, 1000));
  ASSERT_EQ(doc.BuildMix(2048, false), MixBuild::Built);
  EXPECT_FALSE(doc.mixStale());
  const uint8_t* first = doc.mixBuffer().data();
  EXPECT_EQ(doc.BuildMix(2048, false), MixBuild::AlreadyCurrent);
  EXPECT_EQ(doc.mixBuffer().data(), first);
  EXPECT_EQ(doc.mixFrames(), 100u);

  doc.SetLevel(0, 200);
  EXPECT_TRUE(doc.mixStale());
  ASSERT_EQ(doc.BuildMix(2048, false), MixBuild::Built);
  EXPECT_EQ(Sample16(doc, 50, 0), 0);
}

TEST_F(MixDriver, OutputFormatAndLengthFollowTheLoadedChannels) {
  // 22050 Hz beside 44100 Hz: every 22050 Hz frame is held for two output frames; the
  // unselected channel still counts for the format and the length.
  PutChannel(doc, 0, Mono16(22050, {1000, 2000, 3000, 4000, 32767}));
  PutChannel(doc, 1, Pcm{44100, 2, 8, {10, -10, 20, -20, 30, -30}});
  doc.SetSelected(1, false);
  PutChannel(doc, 2, Pcm{11025, 1, 8, std::vector<int32_t>(1, 5)});
  doc.SetOffset(2, 1000);  // (1 + 11025) × 4 frames
  ASSERT_EQ(doc.BuildMix(4, false), MixBuild::Built);
  EXPECT_EQ(doc.MixRate(), 44100u);
  EXPECT_EQ(doc.MixBits(), 16);
  EXPECT_EQ(doc.outHeader().riff.channels, 2);
  EXPECT_EQ(doc.mixFrames(), 44104u);
  EXPECT_EQ(doc.mixBuffer().size(), 44104u * 4);
  EXPECT_EQ(doc.blockPeaks().entries(), 44104u / 4 + 1);
  EXPECT_EQ(doc.mixBlockFrames(), 4u);
  const int32_t expected[] = {1000, 1000, 2000, 2000, 3000, 3000, 4000, 4000, 32767, 32767, 0};
  for (uint32_t f = 0; f < 11; ++f) {
    EXPECT_EQ(Sample16(doc, f, 0), expected[f]) << f;
    EXPECT_EQ(Sample16(doc, f, 1), expected[f]) << f;
  }
  // The 8-bit channel at 11025 Hz sounds from 1000 ms on, scaled by 256 (its peak gives unity).
  EXPECT_EQ(Sample16(doc, 44099, 0), 0);
  EXPECT_EQ(Sample16(doc, 44100, 0), 5 * 256);
  EXPECT_EQ(Sample16(doc, 44103, 1), 5 * 256);
}

TEST_F(MixDriver, OffsetsMoveAChannelOnTheTimeLine) {
  Pcm pcm = Constant16(44100, 44100, 0);
  for (uint32_t i = 0; i < 44100; ++i) pcm.samples[i] = static_cast<int32_t>(i % 30000) + 1;
  pcm.samples[0] = 32767;  // unity gain
  PutChannel(doc, 0, pcm);

  doc.SetOffset(0, 1500);
  ASSERT_EQ(doc.BuildMix(2048, false), MixBuild::Built);
  EXPECT_EQ(doc.mixFrames(), 44100u + 66150u);
  EXPECT_EQ(Sample16(doc, 66149, 0), 0);
  EXPECT_EQ(Sample16(doc, 66150, 0), 32767);
  EXPECT_EQ(Sample16(doc, 66151, 1), 2);

  doc.SetOffset(0, -500);
  doc.SetMixStale(true);
  ASSERT_EQ(doc.BuildMix(2048, false), MixBuild::Built);
  EXPECT_EQ(doc.mixFrames(), 44100u - 22050u);
  EXPECT_EQ(Sample16(doc, 0, 0), 22051);
  EXPECT_EQ(Sample16(doc, 22049, 1), (44099 % 30000) + 1);
}

struct GainCase {
  std::string name;
  int32_t level;
  int32_t balance;
  int32_t mono;
  int32_t left, right;              // source frame
  int32_t expectLeft, expectRight;  // mixed frame
};

TEST_F(MixDriver, LevelBalanceAndMonoPlayback) {
  // Peak 16384 (50 %): autoLevel 150, so level 150 is unity and level 100 doubles.
  const GainCase cases[] = {
      {"unity", 150, 10, 0, 1000, -3000, 1000, -3000},
      {"level 100 doubles a 50 % channel", 100, 10, 0, 1000, -3000, 2000, -6000},
      {"level 200 is silence", 200, 10, 0, 1000, -3000, 0, 0},
      {"balance 0: left doubled, right silent", 150, 0, 0, 1000, -3000, 2000, 0},
      {"balance 20: right doubled", 150, 20, 0, 1000, -3000, 0, -6000},
      {"balance 5", 150, 5, 0, 1001, -3001, 1501, -1500},
      {"mono, balance 0: the left side on both", 150, 0, 1, 1000, -3000, 1000, 1000},
      {"mono, balance 10: the average", 150, 10, 1, 1001, -3000, -999, -999},
      {"mono, balance 20: the right side on both", 150, 20, 1, 1000, -3000, -3000, -3000},
  };
  for (const GainCase& c : cases) {
    PutChannel(doc, 0, Pcm{44100, 2, 16, {16384, 16384, c.left, c.right}});
    doc.SetLevel(0, c.level);
    doc.SetBalance(0, c.balance);
    doc.SetMonoPlayback(c.mono);
    ASSERT_EQ(doc.BuildMix(2048, false), MixBuild::Built) << c.name;
    EXPECT_EQ(Sample16(doc, 1, 0), c.expectLeft) << c.name;
    EXPECT_EQ(Sample16(doc, 1, 1), c.expectRight) << c.name;
  }
}

TEST_F(MixDriver, ClampedFramesFormCorrectionRunsInMixingOrder) {
  // Two full-scale channels at unity: frames 2, 3, 4 and 8 leave the range.
  std::vector<int32_t> a(10, 100);
  a[0] = 32767;
  a[2] = a[3] = a[4] = 20000;
  a[8] = -20000;
  std::vector<int32_t> b = a;
  b[0] = -32768;
  PutChannel(doc, 0, Mono16(44100, a));
  PutChannel(doc, 1, Mono16(44100, b));
  // Frame 0: 32767 − 32768 stays in range. Level of both: unity.
  ASSERT_EQ(doc.BuildMix(4, false), MixBuild::Built);
  EXPECT_EQ(Describe(doc.corrections()), "{2,3}{8,1}");
  EXPECT_EQ(Sample16(doc, 3, 0), 32767);
  EXPECT_EQ(Sample16(doc, 8, 1), -32768);
  EXPECT_EQ(doc.correctionCount(), 2);

  // From position 3 the mix wraps: 3, 4, 8, then 2 after the wrap.
  doc.SetPosition(3);
  doc.SetMixStale(true);
  ASSERT_EQ(doc.BuildMix(4, false), MixBuild::Built);
  EXPECT_EQ(Describe(doc.corrections()), "{3,2}{8,1}{2,1}");
  EXPECT_EQ(doc.position(), 3u);
}

TEST(CorrectionRuns, APartLoggedApartJoinsTheRunItContinues) {
  struct Case {
    const char* name;
    std::vector<MixCorrection> log, later;
    const char* joined;
  };
  const Case cases[] = {
      {"continues the last run", {{2, 3}}, {{5, 2}, {9, 1}}, "{2,5}{9,1}"},
      {"after a gap", {{2, 3}}, {{6, 1}}, "{2,3}{6,1}"},
      {"into an empty log", {}, {{0, 4}}, "{0,4}"},
      {"nothing later", {{7, 1}}, {}, "{7,1}"},
      {"after the wrap to frame 0", {{98, 2}}, {{0, 1}}, "{98,2}{0,1}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<MixCorrection> log = c.log;
    AppendCorrections(log, c.later);
    EXPECT_EQ(Describe(log), c.joined);
  }
}

TEST_F(MixDriver, BlockPeaksInBothWidths) {
  // 16-bit: a peak of 32768 is stored as -32768; the block holding the start position is
  // visited in two pieces and keeps the larger peak.
  std::vector<int32_t> s = {0, 0, 0, 0, 9000, 100, 200, 300, -32768, 5, 5, 5, 1, 1};
  PutChannel(doc, 0, Pcm{44100, 1, 16, s});
  doc.SetPosition(5);
  ASSERT_EQ(doc.BuildMix(4, false), MixBuild::Built);
  ASSERT_EQ(doc.blockPeaks().entries(), 14u / 4 + 1);
  EXPECT_EQ(doc.blockPeaks().Left(0), 0);
  EXPECT_EQ(doc.blockPeaks().Left(1), 9000);
  EXPECT_EQ(doc.blockPeaks().Right(2), -32768);
  EXPECT_EQ(doc.blockPeaks().RightPercent(2), 100);
  EXPECT_EQ(doc.blockPeaks().Left(3), 1);

  // 8-bit: 128 + deviation, with a full-scale deviation of 128 wrapped to byte 0.
  test::DocumentAccess::slot(doc, 0).Clear();
  PutChannel(doc, 0, Pcm{22050, 2, 8, {-128, 3, 10, -20, 0, 0, 127, 0}});
  doc.SetPosition(0);
  ASSERT_EQ(doc.BuildMix(2, false), MixBuild::Built);
  EXPECT_EQ(doc.MixBits(), 8);
  EXPECT_EQ(doc.mixBuffer().data()[0], 0);
  EXPECT_EQ(doc.mixBuffer().data()[1], 131);
  EXPECT_EQ(doc.blockPeaks().Left(0), 0);
  EXPECT_EQ(doc.blockPeaks().LeftPercent(0), 100);
  EXPECT_EQ(doc.blockPeaks().Right(0), 128 + 20);
  EXPECT_EQ(doc.blockPeaks().Left(1), 255);
  EXPECT_EQ(doc.blockPeaks().Right(1), 128);
  EXPECT_EQ(doc.blockPeaks().Left(2), 128);  // the entry after the last block stays silent
}

TEST_F(MixDriver, AWorkerBuildInProgressStands) {
  PutChannel(doc, 0, Constant16(44100, 100, 1000));
  ASSERT_EQ(doc.BuildMix(2048, false), MixBuild::Built);
  doc.SetMixStale(true);
  const uint8_t* mix = doc.mixBuffer().data();
  test::DocumentAccess::SetWorkerBusy(doc, true);  // as while a worker runs
  EXPECT_EQ(doc.BuildMix(2048, true), MixBuild::Building);
  EXPECT_EQ(doc.mixBuffer().data(), mix);
  EXPECT_TRUE(doc.mixStale());
  test::DocumentAccess::SetWorkerBusy(doc, false);
}

TEST_F(MixDriver, RunningOutOfMemoryLeavesNoMix) {
  PutChannel(doc, 0, Constant16(44100, 1000, 1));
  ByteBuffer::SetFailAboveForTesting(3999);
  const MixBuild result = doc.BuildMix(2048, false);
  ByteBuffer::SetFailAboveForTesting(0);
  EXPECT_EQ(result, MixBuild::OutOfMemory);
  EXPECT_FALSE(doc.HasMix());
  EXPECT_FALSE(doc.blockPeaks().has());
  EXPECT_EQ(doc.mixFrames(), 0u);
  ASSERT_EQ(ui.Texts().size(), 1u);
  EXPECT_EQ(ui.Texts()[0], msg::kOutOfMemory);
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
  EXPECT_EQ(doc.BuildMix(2048, false), MixBuild::Built);
}

TEST_F(MixDriver, APositionBeyondTheNewLengthBuildsNothing) {
  PutChannel(doc, 0, Constant16(44100, 1000, 1));
  ASSERT_EQ(doc.BuildMix(2048, false), MixBuild::Built);
  doc.SetPosition(900);
  doc.SetOffset(0, -20);  // 882 frames shorter: 118 frames
  EXPECT_EQ(doc.BuildMix(2048, false), MixBuild::PositionBeyondEnd);
  EXPECT_FALSE(doc.HasMix());
  EXPECT_EQ(doc.mixFrames(), 0u);

  // A channel cut away entirely leaves nothing to mix either.
  doc.SetPosition(0);
  doc.SetOffset(0, -1000);
  EXPECT_EQ(doc.BuildMix(2048, false), MixBuild::Empty);
  EXPECT_FALSE(doc.HasMix());
  EXPECT_TRUE(ui.messages.empty());
}

struct MarkCase {
  std::string name;
  bool previousMix;
  uint32_t endMarkBefore;  // with a previous mix of 1000 frames
  uint32_t startMark;
  uint32_t position;
  uint32_t newFrames;
  uint32_t expectEnd, expectStart, expectPosition;
};

TEST_F(MixDriver, MarksAfterARebuild) {
  const MarkCase cases[] = {
      {"first mix: end of the mix", false, 0, 0, 0, 500, 499, 0, 0},
      {"first mix: an old mark is replaced", false, 300, 0, 0, 500, 499, 0, 0},
      {"unset (0) follows the end", true, 0, 0, 0, 800, 799, 0, 0},
      {"unset (last frame) follows the end", true, 999, 0, 0, 2000, 1999, 0, 0},
      {"a user mark inside the new mix stays", true, 700, 100, 50, 800, 700, 100, 50},
      {"a user mark beyond the new mix moves", true, 900, 0, 0, 800, 799, 0, 0},
      {"a user mark on the new last frame stays", true, 799, 0, 0, 800, 799, 0, 0},
      {"start mark past the end returns to 0", true, 0, 850, 0, 800, 799, 0, 0},
      {"a position at the very end returns to 0", true, 0, 0, 800, 800, 799, 0, 0},
  };
  for (const MarkCase& c : cases) {
    CVelmoraDoc d(ui);
    PutChannel(d, 0, Constant16(1000, 1000, 7));  // one frame per millisecond
    if (c.previousMix) {
      ASSERT_EQ(d.BuildMix(2048, false), MixBuild::Built) << c.name;
      ASSERT_EQ(d.endMark(), 999u) << c.name;
    }
    d.SetEndMark(c.endMarkBefore);
    d.SetStartMark(c.startMark);
    d.SetPosition(c.position);
    d.SetOffset(0, static_cast<int32_t>(c.newFrames) - 1000);
    ASSERT_EQ(d.BuildMix(2048, false), MixBuild::Built) << c.name;
    ASSERT_EQ(d.mixFrames(), c.newFrames) << c.name;
    EXPECT_EQ(d.endMark(), c.expectEnd) << c.name;
    EXPECT_EQ(d.startMark(), c.expectStart) << c.name;
    EXPECT_EQ(d.position(), c.expectPosition) << c.name;
  }
}

TEST_F(MixDriver, FramesPastAChannelAreSilentWhateverTheRateRatio) {
  // 33075 Hz beside 44100 Hz: the ratio truncates to 1, and a positive offset counts more output
  // frames than channel frames (441 against 330), so the channel starts at its frame 111 and its
  // span runs 111 frames past its last frame. Those frames must be silence, and nothing may be
  // read outside the channel.
  PutChannel(doc, 0, Constant16(44100, 3000, 0));  // silent: sets the rate and the length
  Pcm pcm = Constant16(33075, 1000, 5000);
  pcm.samples[0] = 32767;  // unity gain
  pcm.samples[111] = 111;
  pcm.samples[999] = 999;
  PutChannel(doc, 1, pcm);
  doc.SetOffset(1, 10);
  ASSERT_EQ(doc.BuildMix(2048, false), MixBuild::Built);
  EXPECT_EQ(Sample16(doc, 440, 0), 0);
  EXPECT_EQ(Sample16(doc, 441, 0), 111);
  EXPECT_EQ(Sample16(doc, 1329, 0), 999);
  for (uint32_t f = 1330; f < 3000; ++f) {
    ASSERT_EQ(Sample16(doc, f, 0), 0) << f;
    ASSERT_EQ(Sample16(doc, f, 1), 0) << f;
  }
}

TEST_F(MixDriver, FadesOfAChannelAndOfTheWholeMix) {
  // 1000 frames at 1000 Hz, so a fade of n ms lasts n frames; unity gain.
  PutChannel(doc, 0, Pcm{1000, 1, 16, std::vector<int32_t>(1000, 10000)});
  doc.SetFadeIn(0, {FadeCurve::Linear, 10});
  doc.SetFadeOut(0, {FadeCurve::Linear, 10});
  doc.SetFadeIn(kWholeMix, {FadeCurve::Convex, 90});
  doc.SetFadeOut(kWholeMix, {FadeCurve::Linear, 100});
  ASSERT_EQ(doc.BuildMix(256, false), MixBuild::Built);
  const std::pair<uint32_t, int32_t> expected[] = {
      {0, 0},        // the whole-mix fade-in starts at frame 0 with sin 0
      {1, 17},       // channel 1000 × 1/10, then × sin 1°
      {5, 435},      // 5000 × sin 5°
      {10, 1736},    // the channel fade is over: 10000 × sin 10°
      {89, 9998},    // 10000 × sin 89°
      {90, 10000},   //
      {900, 10000},  // N − f = 100 is not below 100
      {950, 5000},   // 10000 × 50/100
      {990, 1000},   // channel fade-out not yet (10 left): × 10/100
      {991, 810},    // channel 9000, then × 9/100
      {999, 10},     // channel 1000 × 1/100
  };
  for (const auto& [frame, value] : expected) {
    EXPECT_EQ(Sample16(doc, frame, 0), value) << frame;
    EXPECT_EQ(Sample16(doc, frame, 1), value) << frame;
  }
}

// ---------------------------------------------------------------------------------------------
// The kernel against the per-frame reference

struct RandomMix {
  MixJob job;
  std::vector<std::vector<uint8_t>> data;
};

RandomMix MakeRandomMix(std::mt19937& rng) {
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  static const std::vector<std::vector<int>> kRateGroups = {{11025, 22050, 44100}, {48000, 96000},
                                                            {33075, 44100},        {96000, 144000},
                                                            {8000, 48000},         {44100}};
  const std::vector<int>& rates = kRateGroups[pick(0, static_cast<int>(kRateGroups.size()) - 1)];
  RandomMix mix;
  mix.data.resize(kMixSources);
  bool any16 = false;
  uint32_t rate = 0;
  for (int i = 0; i < kMixSources; ++i) {
    MixSource& s = mix.job.sources[i];
    if (pick(0, 9) < 2 && i > 0) continue;  // empty slot
    s.rate = static_cast<uint32_t>(rates[pick(0, static_cast<int>(rates.size()) - 1)]);
    s.channels = pick(1, 2);
    s.bits = pick(0, 1) == 1 ? 16 : 8;
    s.frames = static_cast<uint32_t>(pick(0, 20) == 0 ? pick(0, 3) : pick(1, 2500));
    s.selected = pick(0, 9) < 9;
    s.autoLevel = pick(0, 9) == 0 ? 200 : pick(100, 199);
    s.level = pick(0, 200);
    s.balance = pick(0, 20);
    s.offset = pick(0, 3) == 0 ? 0 : pick(-60, 60);
    const int amplitude = pick(0, 2) == 0 ? 1 : (pick(0, 1) == 0 ? 256 : 65536);
    const std::size_t bytes = static_cast<std::size_t>(s.frames) * s.channels * (s.bits / 8);
    std::vector<uint8_t>& d = mix.data[i];
    d.resize(bytes);
    for (std::size_t k = 0; k < bytes; ++k) {
      d[k] = static_cast<uint8_t>(amplitude == 1 ? (k % 2 == 0 ? 0 : 0x80) : pick(0, 255));
    }
    s.data = d.data();  // a distinct pointer even for no frames, read never
    if (d.empty()) {
      d.reserve(1);
      s.data = d.data() == nullptr ? reinterpret_cast<const uint8_t*>(&mix) : d.data();
    }
    any16 = any16 || s.bits == 16;
    rate = std::max(rate, s.rate);
  }
  mix.job.rate = rate;
  mix.job.bits = any16 ? 16 : 8;
  for (int i = 0; i < 5; ++i) {
    mix.job.fadeIn[i] = {static_cast<FadeCurve>(pick(0, 3)), pick(0, 2) == 0 ? 0 : pick(1, 40)};
    mix.job.fadeOut[i] = {static_cast<FadeCurve>(pick(0, 3)), pick(0, 2) == 0 ? 0 : pick(1, 40)};
  }
  mix.job.monoPlayback = pick(0, 2) == 0;
  mix.job.frames = static_cast<uint32_t>(MixLength(mix.job.sources, rate));
  const int blockChoice = pick(0, 4);
  mix.job.blockFrames = blockChoice == 0   ? 1
                        : blockChoice == 1 ? 7
                        : blockChoice == 2 ? 512
                        : blockChoice == 3 ? 2048
                                           : static_cast<uint32_t>(pick(1, 5000));
  mix.job.position = mix.job.frames == 0 || pick(0, 2) == 0
                         ? 0
                         : static_cast<uint32_t>(pick(0, mix.job.frames - 1));
  return mix;
}

struct MixResult {
  std::vector<uint8_t> pcm;
  BlockPeakTable peaks;
  std::vector<MixCorrection> corrections;
  std::atomic<uint32_t> cursor{0};

  explicit MixResult(const MixJob& job) : pcm(static_cast<std::size_t>(job.frames) * job.bits / 4) {
    peaks.Allocate(job.frames / job.blockFrames + 1, job.bits / 8);
    cursor.store(job.position);
  }
  MixTarget Target() {
    MixTarget target;
    target.pcm = pcm.data();
    target.peaks = &peaks;
    target.corrections = &corrections;
    target.cursor = &cursor;
    return target;
  }
};

TEST(MixdownKernel, MatchesTheReferenceOnRandomMixes) {
  std::mt19937 rng(20240611);
  int mixed = 0;
  int clipped = 0;
  for (int round = 0; round < 400; ++round) {
    const RandomMix mix = MakeRandomMix(rng);
    const MixJob& job = mix.job;
    if (job.frames == 0) continue;
    ++mixed;
    MixResult expected(job);
    test::ReferenceMixdown(job, expected.Target());
    MixResult actual(job);
    MixKernel kernel;
    ASSERT_TRUE(kernel.Prepare(job));
    kernel.Run(actual.Target());
    const std::string where = "round " + std::to_string(round) + ", " + std::to_string(job.frames) +
                              " frames at " + std::to_string(job.rate) + " Hz from " +
                              std::to_string(job.position);
    ASSERT_EQ(actual.pcm, expected.pcm) << where;
    ASSERT_EQ(actual.peaks.ToBytes(), expected.peaks.ToBytes()) << where;
    ASSERT_EQ(Describe(actual.corrections), Describe(expected.corrections)) << where;
    ASSERT_EQ(actual.cursor.load(), expected.cursor.load()) << where;
    if (!expected.corrections.empty()) ++clipped;
  }
  // The random cases must reach the paths that matter.
  EXPECT_GT(mixed, 300);
  EXPECT_GT(clipped, 30);
}

// A streaming caller holds only the frames each piece reads, copied into buffers of exactly that
// size (the job's own pointers lead nowhere), and receives each piece in a buffer of its own.
TEST(MixdownKernel, PiecesThroughSmallWindowsMatchTheWholeRun) {
  std::mt19937 rng(20240917);
  const uint8_t nowhere = 0;
  for (int round = 0; round < 200; ++round) {
    const RandomMix mix = MakeRandomMix(rng);
    const MixJob& job = mix.job;
    if (job.frames == 0) continue;
    MixResult expected(job);
    test::ReferenceMixdown(job, expected.Target());

    MixJob blind = job;
    for (MixSource& s : blind.sources) {
      if (s.data != nullptr) s.data = &nowhere;
    }
    MixKernel kernel;
    ASSERT_TRUE(kernel.Prepare(blind));
    MixResult actual(job);
    const std::size_t frameBytes = static_cast<std::size_t>(job.bits) / 4;
    std::array<std::vector<uint8_t>, kMixSources> windows;
    const uint32_t longest = std::uniform_int_distribution<uint32_t>(1, 3000)(rng);
    for (uint32_t done = 0; done < job.frames;) {
      const uint32_t first = (job.position + done) % job.frames;
      const uint32_t n = std::min({std::uniform_int_distribution<uint32_t>(1, longest)(rng),
                                   job.frames - first, job.frames - done});
      for (int i = 0; i < kMixSources; ++i) {
        const FrameSpan span = kernel.SourceFramesOf(i, first, n);
        if (span.count == 0) continue;
        const MixSource& s = job.sources[i];
        const std::size_t bytes = static_cast<std::size_t>(s.channels) * (s.bits / 8);
        ASSERT_GE(span.first, 0);
        ASSERT_LE(span.first + span.count, static_cast<int64_t>(s.frames));
        windows[i].assign(s.data + span.first * bytes, s.data + (span.first + span.count) * bytes);
        kernel.SetSourceWindow(i, windows[i].data(), span.first);
      }
      std::vector<uint8_t> piece(n * frameBytes);
      MixTarget target = actual.Target();
      target.pcm = piece.data();
      target.pcmFirstFrame = first;
      kernel.RunPiece(target, first, n);
      std::copy(piece.begin(), piece.end(), actual.pcm.begin() + first * frameBytes);
      done += n;
    }
    const std::string where =
        "round " + std::to_string(round) + ", pieces up to " + std::to_string(longest) + " frames";
    ASSERT_EQ(actual.pcm, expected.pcm) << where;
    ASSERT_EQ(actual.peaks.ToBytes(), expected.peaks.ToBytes()) << where;
    ASSERT_EQ(Describe(actual.corrections), Describe(expected.corrections)) << where;
  }
}

}  // namespace
}  // namespace velmora
