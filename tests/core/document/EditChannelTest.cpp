// Mono conversion, trimming to the marks and release: the arithmetic, the header and level
// updates, the questions, and that nothing changes when an edit is refused.

#include <gtest/gtest.h>

#include <filesystem>

#include "SaveSupport.h"

namespace velmora {
namespace {

using test::DocWithFiles;
using test::Spec;

constexpr const char* kConvertUnsaved =
    "変換元のデータは保存されていません。\n変換してもよろしいですか？";
constexpr const char* kTrimUnsaved =
    "切り詰め前のデータは保存されていません。\n切り詰め処理を行ってもよろしいですか？";
constexpr const char* kOutOfChannel = "チャンネルの範囲外です!";

std::vector<uint8_t> SlotBytes(const ChannelSlot& slot) {
  return test::BytesOf(slot.data.data(), slot.data.size());
}

std::vector<uint8_t> Constant16(uint32_t samples, int16_t value) {
  return test::Pcm16(std::vector<int16_t>(samples, value));
}

TEST(ConvertToMono, WeighsTheSidesByBalanceAndRewritesTheHeader) {
  struct Case {
    int bits;
    int32_t balance;
    std::vector<int32_t> stereo;  // L, R pairs (8-bit as stored bytes)
    std::vector<int32_t> mono;
    int32_t autoLevel;
  };
  const Case cases[] = {
      {16, 10, {1000, -1000, 3, 4, -3, -4, 16384, 16384}, {0, 3, -3, 16384}, 150},
      {16, 0, {1000, -1000, 3, 4, -32768, 5}, {1000, 3, -32768}, 100},
      {16, 20, {1000, -1000, 3, 4, 5, -32768}, {-1000, 4, -32768}, 100},
      {8, 10, {255, 255, 0, 0, 128, 128, 100, 160}, {255, 0, 128, 130}, 100},
      {8, 0, {200, 10, 128, 255}, {200, 128}, 144},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << "-bit, balance " << c.balance);
    DocWithFiles f;
    std::vector<uint8_t> bytes;
    if (c.bits == 16) {
      std::vector<int16_t> samples(c.stereo.begin(), c.stereo.end());
      bytes = test::Pcm16(samples);
    } else {
      bytes.assign(c.stereo.begin(), c.stereo.end());
    }
    f.Load(0, Spec(2, 22050, c.bits), bytes);
    ChannelSlot& slot = test::DocumentAccess::slot(f.doc, 0);
    slot.balance = c.balance;
    const std::string path = slot.path;

    ASSERT_TRUE(f.doc.ConvertToMono(0));

    std::vector<int32_t> mono;
    for (uint32_t i = 0; i < slot.frames; ++i) {
      mono.push_back(c.bits == 16 ? test::SampleAt(SlotBytes(slot), i) : slot.data.data()[i]);
    }
    EXPECT_EQ(mono, c.mono);
    const uint32_t blockAlign = static_cast<uint32_t>(c.bits / 8);
    EXPECT_EQ(slot.frames, c.mono.size());
    EXPECT_EQ(slot.header.channels, 1);
    EXPECT_EQ(slot.header.blockAlign, static_cast<int16_t>(blockAlign));
    EXPECT_EQ(slot.header.avgBytesPerSec, static_cast<int32_t>(22050 * blockAlign));
    EXPECT_EQ(slot.dataChunk.size, slot.frames * blockAlign);
    EXPECT_EQ(slot.header.riffSize, slot.frames * blockAlign + 36);
    EXPECT_EQ(slot.autoLevel, c.autoLevel);
    EXPECT_EQ(slot.level, c.autoLevel);
    EXPECT_EQ(slot.balance, c.balance);
    EXPECT_EQ(slot.path, path);
    EXPECT_EQ(f.ui.waitDepth, 0);
  }
}

TEST(ConvertToMono, RefusedConversionLeavesTheChannelAsItWas) {
  struct Case {
    bool unsaved;
    Answer answer;
    std::size_t failAbove;  // 0 = allocation succeeds
    bool converted;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {true, Answer::No, 0, false, {kConvertUnsaved}},
      {true, Answer::Yes, 0, true, {kConvertUnsaved}},
      {false, Answer::No, 0, true, {}},  // a channel with a file is not asked about
      {false, Answer::Yes, 100, false, {msg::kOutOfMemory}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.unsaved << " " << c.failAbove);
    DocWithFiles f;
    const std::vector<uint8_t> bytes = test::StereoRamp16(400);
    f.Load(0, Spec(2, 44100, 16), bytes);
    if (c.unsaved) test::DocumentAccess::slot(f.doc, 0).path.clear();
    f.ui.answers.push_back(c.answer);

    ByteBuffer::SetFailAboveForTesting(c.failAbove);
    EXPECT_EQ(f.doc.ConvertToMono(0), c.converted);
    ByteBuffer::SetFailAboveForTesting(0);

    EXPECT_EQ(f.ui.Texts(), c.texts);
    EXPECT_EQ(f.doc.slot(0).header.channels, c.converted ? 1 : 2);
    if (!c.converted) {
      EXPECT_EQ(SlotBytes(f.doc.slot(0)), bytes);
    }
    EXPECT_EQ(f.ui.waitDepth, 0);
  }
}

// One mono 16-bit channel at `rate` in slot 0 and, when given, a longer channel at `mixRate` in
// slot 1 that sets the mix rate and length.
struct TrimSetup {
  DocWithFiles f;
  TrimSetup(int rate, const std::vector<uint8_t>& data, int mixRate = 0, uint32_t mixFrames = 0) {
    f.Load(0, Spec(1, rate, 16), data);
    if (mixRate != 0) f.Load(1, Spec(1, mixRate, 16), Constant16(mixFrames, 5));
  }
  ChannelSlot& slot() { return test::DocumentAccess::slot(f.doc, 0); }
  int16_t Sample(std::size_t i) { return test::SampleAt(SlotBytes(slot()), i); }
};

std::vector<uint8_t> Ramp16(uint32_t frames) {
  std::vector<int16_t> samples(frames);
  for (uint32_t i = 0; i < frames; ++i) samples[i] = static_cast<int16_t>(i);
  return test::Pcm16(samples);
}

TEST(TrimToMarks, HeadCutFadesInAndMovesTheChannelToTheStartMark) {
  TrimSetup t(44100, Constant16(88200, 10000));
  t.f.doc.SetStartMark(44100);
  t.f.doc.SetEndMark(88199);  // the channel's last frame

  t.f.doc.TrimToMarks(0);

  EXPECT_EQ(t.slot().frames, 44100u);
  EXPECT_EQ(t.Sample(0), 0);       // sin 0°
  EXPECT_EQ(t.Sample(440), 9998);  // sin 89°: 441 frames of fade-in
  EXPECT_EQ(t.Sample(441), 10000);
  EXPECT_EQ(t.Sample(44099), 10000);  // no fade-out
  EXPECT_EQ(t.slot().offset, 1000);
  EXPECT_EQ(t.slot().autoLevel, 170);
  EXPECT_EQ(t.slot().level, 170);
  EXPECT_TRUE(t.f.doc.mixStale());
  EXPECT_TRUE(t.f.ui.messages.empty());
}

TEST(TrimToMarks, TailCutFadesOutOverTheLastTenMilliseconds) {
  TrimSetup t(44100, Constant16(44100, 10000));
  t.f.doc.SetStartMark(0);
  t.f.doc.SetEndMark(22049);

  t.f.doc.TrimToMarks(0);

  ASSERT_EQ(t.slot().frames, 22049u);  // the kept frames end before the end mark
  EXPECT_EQ(t.Sample(0), 10000);       // no head cut, no fade-in
  EXPECT_EQ(t.Sample(22049 - 441), 10000);
  EXPECT_EQ(t.Sample(22048), 174);  // sin 179°
  EXPECT_EQ(t.slot().offset, 0);
}

TEST(TrimToMarks, ChannelAtHalfTheMixRateKeepsFramesFromHalfTheMark) {
  TrimSetup t(22050, Ramp16(2000), 44100, 8000);
  t.f.doc.SetStartMark(1000);
  t.f.doc.SetEndMark(0);  // no end mark: the channel keeps its tail

  t.f.doc.TrimToMarks(0);

  ASSERT_EQ(t.slot().frames, 1500u);
  EXPECT_EQ(t.Sample(220), 720);  // past the 220-frame fade-in: old frame 500 + 220
  EXPECT_EQ(t.Sample(1499), 1999);
  EXPECT_EQ(t.slot().offset, 22);  // 1000 × 1000 / 44100
}

// The marks are frames of the mix they were set on; a load that raised the output rate since
// does not change what they mean.
TEST(TrimToMarks, MarksOfAStaleMixCountInTheRateItWasMixedAt) {
  DocWithFiles f;
  f.Load(0, Spec(1, 22050, 16), Ramp16(44100));  // two seconds
  ASSERT_EQ(f.doc.BuildMix(1024, false), MixBuild::Built);
  f.Load(1, Spec(1, 44100, 16), Constant16(100, 5));
  ASSERT_EQ(f.doc.MixRate(), 44100u);
  f.doc.SetStartMark(22050);  // one second into the 22050 Hz mix

  f.doc.TrimToMarks(0);

  EXPECT_EQ(f.doc.slot(0).frames, 22050u);
  EXPECT_EQ(f.doc.slot(0).offset, 1000);
  EXPECT_EQ(test::SampleAt(SlotBytes(f.doc.slot(0)), 1000), 22050 + 1000)
      << "kept from the channel's frame 22050 on";
}

TEST(TrimToMarks, ShortResultTakesBothFades) {
  TrimSetup t(44100, Constant16(1000, 10000), 44100, 5000);
  t.f.doc.SetStartMark(100);
  t.f.doc.SetEndMark(300);

  t.f.doc.TrimToMarks(0);

  ASSERT_EQ(t.slot().frames, 200u);
  EXPECT_EQ(t.Sample(0), 0);
  EXPECT_EQ(t.Sample(100), 1225);  // 10000 × sin 20° = 3420, then × sin 159°
}

TEST(TrimToMarks, EightBitStereoFadesAroundTheMiddle) {
  DocWithFiles f;
  f.Load(0, Spec(2, 44100, 8), std::vector<uint8_t>(4000, 228));  // 2000 frames
  f.doc.SetStartMark(1000);
  f.doc.SetEndMark(1999);

  f.doc.TrimToMarks(0);

  const ChannelSlot& slot = f.doc.slot(0);
  ASSERT_EQ(slot.frames, 1000u);
  EXPECT_EQ(slot.data.data()[0], 128);
  EXPECT_EQ(slot.data.data()[1], 128);
  EXPECT_EQ(slot.data.data()[441], 198);  // sample 441 of 882 faded: 100 × sin 45° = 70
  EXPECT_EQ(slot.data.data()[1999], 228);
}

TEST(TrimToMarks, MarksAroundTheChannelKeepItWhole) {
  TrimSetup t(44100, Ramp16(1000), 44100, 200000);
  t.slot().offset = 1000;  // from mix frame 44100 to 45099
  t.f.doc.SetStartMark(100);
  t.f.doc.SetEndMark(199999);
  const std::vector<uint8_t> before = SlotBytes(t.slot());

  t.f.doc.TrimToMarks(0);

  EXPECT_EQ(SlotBytes(t.slot()), before);
  EXPECT_EQ(t.slot().offset, 1000);
}

TEST(TrimToMarks, RefusedTrimLeavesTheChannelAsItWas) {
  struct Case {
    const char* name;
    uint32_t startMark, endMark;
    bool unsaved;
    std::size_t failAbove;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {"start mark after the channel", 5000, 0, false, 0, {kOutOfChannel}},
      {"marks within one channel frame", 1001, 1001, false, 0, {kOutOfChannel}},
      {"unsaved, answer No", 1000, 0, true, 0, {kTrimUnsaved}},
      {"no memory", 1000, 0, false, 100, {msg::kOutOfMemory}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrimSetup t(22050, Ramp16(2000), 44100, 8000);
    if (c.unsaved) t.slot().path.clear();
    t.f.doc.SetStartMark(c.startMark);
    t.f.doc.SetEndMark(c.endMark);
    const std::vector<uint8_t> before = SlotBytes(t.slot());

    ByteBuffer::SetFailAboveForTesting(c.failAbove);
    t.f.doc.TrimToMarks(0);
    ByteBuffer::SetFailAboveForTesting(0);

    EXPECT_EQ(t.f.ui.Texts(), c.texts);
    EXPECT_EQ(SlotBytes(t.slot()), before);
    EXPECT_EQ(t.slot().frames, 2000u);
    EXPECT_EQ(t.slot().offset, 0);
    EXPECT_EQ(t.f.ui.waitDepth, 0);
  }
}

TEST(ReleaseChannel, LastChannelTakesTheMixAndTheMarksWithIt) {
  DocWithFiles f;
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(1000));
  f.Load(1, Spec(2, 44100, 16), test::StereoRamp16(2000));
  ASSERT_EQ(f.doc.BuildMix(4096, false), MixBuild::Built);
  f.doc.SetStartMark(10);
  f.doc.SetPosition(20);
  f.doc.SetFadeIn(1, {FadeCurve::Convex, 500});

  f.doc.ReleaseChannel(1);  // one of two: the mix stays until it is rebuilt
  EXPECT_FALSE(f.doc.slot(1).HasData());
  EXPECT_TRUE(f.doc.HasMix());
  EXPECT_TRUE(f.doc.IsModified());
  EXPECT_EQ(f.doc.startMark(), 10u);

  f.doc.SetModifiedFlag(false);
  f.doc.ReleaseChannel(0);
  EXPECT_FALSE(f.doc.HasMix());
  EXPECT_EQ(f.doc.mixFrames(), 0u);
  EXPECT_EQ(f.doc.startMark(), 0u);
  EXPECT_EQ(f.doc.endMark(), 0u);
  EXPECT_EQ(f.doc.position(), 0u);
  EXPECT_EQ(f.doc.MixRate(), 0u);
  EXPECT_EQ(f.doc.outHeader().riff.riffSize, 0u);
  EXPECT_FALSE(f.doc.IsModified());
  EXPECT_EQ(f.doc.fadeIn()[1].time, 500);  // fades belong to the document
  for (const ChannelSlot& slot : f.doc.slots()) {
    EXPECT_FALSE(slot.inUse);
    EXPECT_EQ(slot.level, 100);
    EXPECT_EQ(slot.balance, 10);
    EXPECT_FALSE(slot.selected);
    EXPECT_TRUE(slot.path.empty());
  }
}

TEST(ReleaseChannel, UnsavedChannelIsReleasedOnlyOnceSavedOrGivenUp) {
  struct Case {
    const char* name;
    Answer answer;
    bool chooseFile;
    bool released;
    bool fileWritten;
  };
  const Case cases[] = {
      {"cancel", Answer::Cancel, false, false, false},
      {"yes, save dialog cancelled", Answer::Yes, false, false, false},
      {"yes, saved", Answer::Yes, true, true, true},
      {"no", Answer::No, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DocWithFiles f;
    f.LoadUnsaved(2, Spec(1, 44100, 16), test::Pcm16({1, 2, 3}));
    f.ui.answers.push_back(c.answer);
    const std::string path = f.dir.File("take.wav");
    if (c.chooseFile) f.ui.saveChoices.push_back(path);

    f.doc.ReleaseChannel(2);

    EXPECT_EQ(f.ui.Texts().at(0), "チャンネル3のデータは保存されていません。\n保存しますか？");
    EXPECT_EQ(f.ui.messages.at(0).buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(f.doc.slot(2).HasData(), !c.released);
    EXPECT_EQ(std::filesystem::exists(path), c.fileWritten);
  }
}

// Edits on the user-interface thread while the background mixdown reads the channels: each
// waits for the worker before it replaces or frees a buffer (AddressSanitizer and
// ThreadSanitizer would see a buffer freed under the worker).
TEST(EditWorker, EditsWaitForTheWorkerBeforeReplacingABuffer) {
  enum class Edit { Mono, Trim, Release };
  for (const Edit edit : {Edit::Mono, Edit::Trim, Edit::Release}) {
    DocWithFiles f;
    for (int i = 0; i < 4; ++i) f.Load(i, Spec(2, 44100, 16), test::StereoRamp16(441000, i + 3));
    ASSERT_EQ(f.doc.BuildMix(2048, true), MixBuild::Building);
    f.doc.SetStartMark(44100);
    f.doc.SetEndMark(400000);

    switch (edit) {
      case Edit::Mono:
        EXPECT_TRUE(f.doc.ConvertToMono(0));
        break;
      case Edit::Trim:
        f.doc.TrimToMarks(0);
        EXPECT_EQ(f.doc.slot(0).frames, 400000u - 44100u);
        break;
      case Edit::Release:
        f.doc.ReleaseChannel(0);
        EXPECT_FALSE(f.doc.slot(0).HasData());
        break;
    }
    EXPECT_FALSE(f.doc.workerBusy());
    EXPECT_TRUE(f.doc.HasMix());
    EXPECT_TRUE(f.doc.mixStale());
  }
}

}  // namespace
}  // namespace velmora
