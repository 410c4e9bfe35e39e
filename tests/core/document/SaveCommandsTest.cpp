// Save, Save As, the marks stretch and single channels: what lands on disk and what the document
// shows afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "SaveSupport.h"
#include "document/WavReader.h"
#include "document/WavWriter.h"

namespace velmora {
namespace {

using test::DocWithFiles;
using test::ParseSaved;
using test::ReadBytes;
using test::Spec;

constexpr const char* kOnlyWav =
    "WAVファイル(*.wav)以外には保存できません。\n拡張子を .wav にして保存し直してください。";

std::vector<uint8_t> MixBytes(const CVelmoraDoc& doc, uint32_t first, uint32_t frames) {
  const std::size_t frameBytes = 2 * static_cast<std::size_t>(doc.MixBits()) / 8;
  return test::BytesOf(doc.mixBuffer().data() + first * frameBytes, frames * frameBytes);
}

TEST(SaveMix, MixOfMixedFormatsIsSixteenBitStereoAtTheHighestRate) {
  DocWithFiles f;
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(3000));
  f.Load(1, Spec(1, 22050, 8), std::vector<uint8_t>(1000, 200));
  const std::string path = f.dir.File("mix.wav");
  f.ui.saveChoices.push_back(path);
  f.doc.SaveMixAs();

  ASSERT_TRUE(f.doc.HasMix());
  const test::SavedWav saved = ParseSaved(ReadBytes(path));
  test::ExpectCanonical(saved, 2, 44100, 16, f.doc.mixFrames());
  EXPECT_EQ(f.doc.mixFrames(), 3000u);
  EXPECT_EQ(saved.samples, MixBytes(f.doc, 0, f.doc.mixFrames()));
  // The header image describes the last file written from it.
  EXPECT_EQ(f.doc.outHeader().data.size, saved.data.size);
  EXPECT_EQ(f.doc.outHeader().riff.riffSize, saved.riff.riffSize);
}

TEST(SaveChannel, ChannelAloneKeepsItsFormatAndFindsAHome) {
  struct Case {
    int channels, rate, bits;
  };
  const Case cases[] = {{1, 11025, 8}, {2, 44100, 16}, {1, 48000, 16}, {2, 22050, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.rate << " Hz " << c.bits);
    DocWithFiles f;
    std::vector<uint8_t> data(1200);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37);
    f.LoadUnsaved(1, Spec(c.channels, c.rate, c.bits), data);
    const std::string path = f.dir.File("alone.wav");
    f.ui.saveChoices.push_back(path);

    ASSERT_TRUE(f.doc.SaveChannel(1));
    const int blockAlign = c.channels * c.bits / 8;
    const uint32_t frames = 1200 / static_cast<uint32_t>(blockAlign);
    const test::SavedWav saved = ParseSaved(ReadBytes(path));
    test::ExpectCanonical(saved, c.channels, c.rate, c.bits, frames);
    EXPECT_EQ(saved.samples, data);
    EXPECT_EQ(f.doc.slot(1).path, path);
    EXPECT_EQ(f.doc.slot(1).dataChunk.size, saved.data.size);
    EXPECT_EQ(f.ui.saveRequests.at(0).title, "チャンネル2 のデータを保存");
    EXPECT_EQ(f.ui.waitDepth, 0);

    // What the program writes, its own reader takes back unchanged.
    WavFile back;
    ASSERT_TRUE(ReadWavFile(
                    path, [](int32_t) { return true; }, back)
                    .ok());
    EXPECT_EQ(test::BytesOf(back.samples.data(), back.samples.size()), data);
  }
}

TEST(SaveBetweenMarks, WritesTheStretchInOrderWhateverTheMarkOrder) {
  struct Case {
    uint32_t startMark, endMark;
    uint32_t first, count;
  };
  // The mix has 1000 frames; an end mark of 0 means the end of the mix.
  const Case cases[] = {
      {100, 199, 100, 100},  // 100 frames from byte 400
      {199, 100, 100, 100},  // reversed marks
      {100, 0, 100, 900},   {0, 0, 0, 1000}, {999, 999, 999, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.startMark << ".." << c.endMark);
    DocWithFiles f;
    f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(1000));
    ASSERT_EQ(f.doc.BuildMix(4096, false), MixBuild::Built);
    f.doc.SetStartMark(c.startMark);
    f.doc.SetEndMark(c.endMark);
    f.doc.SetModifiedFlag(true);
    const std::string path = f.dir.File("marks.wav");
    f.ui.saveChoices.push_back(path);

    f.doc.SaveBetweenMarks();

    const test::SavedWav saved = ParseSaved(ReadBytes(path));
    test::ExpectCanonical(saved, 2, 44100, 16, c.count);
    EXPECT_EQ(saved.samples, MixBytes(f.doc, c.first, c.count));
    EXPECT_EQ(f.ui.saveRequests.at(0).title, "マーク間のデータを保存");
    EXPECT_TRUE(f.doc.outputPath().empty());
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_TRUE(f.ui.messages.empty());
  }
}

// A load that changes the output format leaves the old mix stale but in place: its stretch is
// saved in the format it was mixed in, and the output format stays as the load set it.
TEST(SaveBetweenMarks, StaleMixAfterAFormatChangingLoadKeepsItsOwnFormat) {
  DocWithFiles f;
  constexpr std::size_t kBytes = std::size_t{2} * 2000;  // 2000 stereo 8-bit frames
  std::vector<uint8_t> eightBit(kBytes);
  for (std::size_t i = 0; i < eightBit.size(); ++i) eightBit[i] = static_cast<uint8_t>(i * 7 + 1);
  f.Load(0, Spec(2, 22050, 8), eightBit);
  ASSERT_EQ(f.doc.BuildMix(2048, false), MixBuild::Built);
  const std::vector<uint8_t> mixed = test::BytesOf(f.doc.mixBuffer().data(), kBytes);
  f.Load(1, Spec(2, 44100, 16), test::StereoRamp16(500));
  ASSERT_TRUE(f.doc.mixStale());
  ASSERT_EQ(f.doc.MixRate(), 44100u);
  f.doc.SetStartMark(100);
  f.doc.SetEndMark(599);
  const std::string path = f.dir.File("marks.wav");
  f.ui.saveChoices.push_back(path);

  f.doc.SaveBetweenMarks();

  EXPECT_TRUE(f.ui.messages.empty());
  const test::SavedWav saved = ParseSaved(ReadBytes(path));
  test::ExpectCanonical(saved, 2, 22050, 8, 500);
  EXPECT_EQ(saved.samples, std::vector<uint8_t>(mixed.begin() + 200, mixed.begin() + 1200));
  EXPECT_EQ(f.doc.MixRate(), 44100u);
  EXPECT_EQ(f.doc.MixBits(), 16);
}

TEST(SaveMixAs, OnlyAWrittenWavFileCountsAsSaved) {
  struct Case {
    std::optional<std::string> choice;
    bool written;
    const char* message;  // null = none
  };
  const Case cases[] = {
      {"mix.wav", true, nullptr},     {"MIX.WAV", true, nullptr},
      {std::nullopt, false, nullptr},  // cancelled
      {"mix.mp3", false, kOnlyWav},   {"mix.wave", false, kOnlyWav},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.choice.value_or("(cancel)"));
    DocWithFiles f;
    f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(500));
    f.doc.SetTitle(msg::kUntitled);
    f.doc.SetModifiedFlag(true);
    const std::string pathBefore = f.doc.GetPathName();
    std::optional<std::string> path;
    if (c.choice) path = f.dir.File(*c.choice);
    f.ui.saveChoices.push_back(path);

    f.doc.OnFileSave();  // never saved: Save runs Save As

    ASSERT_EQ(f.ui.saveRequests.size(), 1u);
    const FileDialogRequest& request = f.ui.saveRequests[0];
    EXPECT_EQ(request.title, "");
    EXPECT_EQ(request.filter, "Velmora ﾌｧｲﾙ(*.wav)|*.wav||");
    EXPECT_EQ(request.defaultExtension, "wav");
    EXPECT_TRUE(request.confirmOverwrite);
    EXPECT_EQ(f.ui.waitDepth, 0);
    EXPECT_TRUE(f.ui.fileErrors.empty());
    if (c.written) {
      EXPECT_TRUE(std::filesystem::exists(*path));
      EXPECT_EQ(f.doc.outputPath(), *path);
      EXPECT_EQ(f.doc.GetPathName(), *path);
      EXPECT_EQ(f.doc.GetTitle(), *c.choice);
      EXPECT_FALSE(f.doc.IsModified());
    } else {
      if (path) {
        EXPECT_FALSE(std::filesystem::exists(*path));
      }
      EXPECT_TRUE(f.doc.outputPath().empty());
      EXPECT_EQ(f.doc.GetPathName(), pathBefore);
      EXPECT_EQ(f.doc.GetTitle(), msg::kUntitled);
      EXPECT_TRUE(f.doc.IsModified());
    }
    if (c.message != nullptr) {
      ASSERT_EQ(f.ui.messages.size(), 1u);
      EXPECT_EQ(f.ui.messages[0].text, c.message);
      EXPECT_EQ(f.ui.messages[0].icon, MessageIcon::Stop);
    } else {
      EXPECT_TRUE(f.ui.messages.empty());
    }
  }
}

TEST(SaveMix, StaleMixIsRebuiltWithTheBlockLengthOfItsRate) {
  struct Case {
    int rate;
    uint32_t blockFrames;
  };
  const Case cases[] = {{192000, 16384}, {96000, 8192}, {48000, 4096}, {44100, 4096},
                        {22050, 2048},   {11025, 1024}, {32000, 4096}, {8000, 4096}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    DocWithFiles f;
    f.Load(0, Spec(2, c.rate, 16), test::StereoRamp16(2000));
    ASSERT_EQ(f.doc.BuildMix(1, false), MixBuild::Built);
    // Level 200 silences the channel: a stale mix written by mistake would not be silent.
    f.doc.SetLevel(0, 200);
    test::DocumentAccess::outputPath(f.doc) = f.dir.File("mix.wav");

    ASSERT_TRUE(f.doc.SaveMix());

    EXPECT_EQ(f.doc.mixBlockFrames(), c.blockFrames);
    EXPECT_FALSE(f.doc.mixStale());
    const test::SavedWav saved = ParseSaved(ReadBytes(f.doc.outputPath()));
    test::ExpectCanonical(saved, 2, c.rate, 16, 2000);
    EXPECT_TRUE(
        std::all_of(saved.samples.begin(), saved.samples.end(), [](uint8_t b) { return b == 0; }));
  }
}

TEST(SaveMix, PlayPositionBeyondTheNewMixStillGivesTheWholeMix) {
  struct Case {
    uint32_t position, positionAfter;
  };
  const Case cases[] = {{5000, 0}, {600, 600}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    DocWithFiles f;
    f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(1000));
    f.doc.SetPosition(c.position);
    test::DocumentAccess::outputPath(f.doc) = f.dir.File("mix.wav");

    ASSERT_TRUE(f.doc.SaveMix());

    EXPECT_EQ(ParseSaved(ReadBytes(f.doc.outputPath())).data.size, 4000u);
    EXPECT_EQ(f.doc.position(), c.positionAfter);
  }
}

TEST(SaveMix, ChannelsWhollyBeforeTheStartGiveAFileWithNoSamples) {
  DocWithFiles f;
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(441));  // 10 ms
  f.doc.SetOffset(0, -20);
  f.doc.SetModifiedFlag(true);
  const std::string path = f.dir.File("empty.wav");
  f.ui.saveChoices.push_back(path);

  f.doc.SaveMixAs();

  test::ExpectCanonical(ParseSaved(ReadBytes(path)), 2, 44100, 16, 0);
  EXPECT_FALSE(f.doc.IsModified());
  EXPECT_TRUE(f.ui.messages.empty());
}

TEST(SaveMix, MixThatCannotBeAllocatedIsAFailedSaveAndKeepsTheOldFile) {
  DocWithFiles f;
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(5000));
  test::DocumentAccess::outputPath(f.doc) = f.dir.File("mix.wav");
  test::WriteBytes(f.doc.outputPath(), {1, 2, 3});
  f.doc.SetModifiedFlag(true);

  ByteBuffer::SetFailAboveForTesting(1000);
  f.doc.OnFileSave();
  ByteBuffer::SetFailAboveForTesting(0);

  EXPECT_EQ(f.ui.Texts(), (std::vector<std::string>{msg::kOutOfMemory, msg::kSaveFailed}));
  EXPECT_EQ(f.ui.fileErrors, std::vector<std::string>{f.doc.outputPath()});
  EXPECT_EQ(ReadBytes(f.doc.outputPath()), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(f.doc.IsModified());
}

TEST(SaveModified, UnsavedChannelSavedFromTheClosePromptLetsTheCloseGoOn) {
  struct Case {
    bool chooseFile;
    bool closes;
  };
  for (const Case c : {Case{true, true}, Case{false, false}}) {
    SCOPED_TRACE(c.chooseFile);
    DocWithFiles f;
    f.LoadUnsaved(0, Spec(1, 44100, 16), test::Pcm16({1, 2, 3, 4}));
    const std::string path = f.dir.File("take.wav");
    f.ui.answers.push_back(Answer::Yes);
    f.ui.saveChoices.push_back(c.chooseFile ? std::optional<std::string>(path) : std::nullopt);

    EXPECT_EQ(f.doc.SaveModified(), c.closes);

    EXPECT_EQ(f.ui.Texts().at(0), "チャンネル1のデータは保存されていません。\n保存しますか？");
    EXPECT_EQ(std::filesystem::exists(path), c.chooseFile);
    EXPECT_EQ(f.doc.slot(0).path, c.chooseFile ? path : "");
  }
}

TEST(SaveModified, CloseGoesOnOnlyWhenTheMixWasSaved) {
  struct Case {
    const char* name;
    std::optional<std::string> choice;
    bool closes;
  };
  const Case cases[] = {
      {"saved", "mix.wav", true},
      {"dialog cancelled", std::nullopt, false},
      {"not a WAV name", "mix.mp3", false},
      {"write failed", "no-such-folder/mix.wav", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DocWithFiles f;
    f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(100));
    f.doc.SetTitle(msg::kUntitled);
    f.doc.SetModifiedFlag(true);
    f.ui.answers.push_back(Answer::Yes);
    f.ui.saveChoices.push_back(c.choice ? std::optional<std::string>(f.dir.File(*c.choice))
                                        : std::nullopt);

    EXPECT_EQ(f.doc.SaveModified(), c.closes);

    EXPECT_EQ(f.ui.Texts().at(0), "無題 への変更を保存しますか？");
    EXPECT_EQ(f.doc.IsModified(), !c.closes);
  }
}

}  // namespace
}  // namespace velmora
