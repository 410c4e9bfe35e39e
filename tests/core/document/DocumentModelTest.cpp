// The document's own rules: the rate rule, the mix format, New, the close questions and the
// destructor's wait for the mixdown worker.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "document/VelmoraDoc.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

using test::FakeUi;

TEST(DocumentModel, RateRule) {
  struct Case {
    std::vector<int> loaded;
    int rate;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {{}, 12345, true},
      {{22050}, 44100, true},
      {{11025, 22050}, 44100, true},
      {{48000}, 44100, false},
      {{44100}, 48000, false},
      {{48000}, 96000, true},
      {{96000}, 192000, true},
      {{20000}, 10000, true},  // 2r loaded: a multiple of r
      {{5000}, 10000, false},  // r/2 loaded: not a multiple
      {{48000, 96000}, 192000, true},
      {{192000}, 48000, true},
      {{44100, 11025}, 22050, true},
      {{66150}, 33075, true},
      {{66150, 33075}, 22050, true},
      // In one family, but the mix rate is no whole multiple of the channel's: the channel would
      // play 1.33 or 1.5 times too fast. Refused in either order.
      {{33075}, 44100, false},
      {{44100}, 33075, false},
      {{33075}, 22050, false},
      {{22050}, 33075, false},
      {{96000}, 144000, false},
      {{144000}, 96000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    FakeUi ui;
    CVelmoraDoc doc(ui);
    for (std::size_t i = 0; i < c.loaded.size(); ++i) {
      test::PutSilence(doc, static_cast<int>(i), {c.loaded[i], 2, 16}, 4);
    }
    EXPECT_EQ(doc.IsRateCompatible(c.rate), c.accepted);
  }
}

TEST(DocumentModel, OutputFormatTakesTheHighestRateAndWidth) {
  FakeUi ui;
  CVelmoraDoc doc(ui);
  doc.UpdateOutputFormat();
  EXPECT_EQ(doc.outHeader().riff.samplesPerSec, 0);
  EXPECT_EQ(doc.outHeader().riff.bitsPerSample, 0);
  test::PutSilence(doc, 1, {22050, 1, 8}, 4);
  test::PutSilence(doc, 3, {11025, 2, 16}, 4);
  doc.UpdateOutputFormat();
  EXPECT_EQ(doc.outHeader().riff.samplesPerSec, 22050);
  EXPECT_EQ(doc.outHeader().riff.bitsPerSample, 16);
  EXPECT_EQ(doc.outHeader().riff.channels, 2);
}

TEST(DocumentModel, NewDocumentClearsEverything) {
  FakeUi ui;
  CVelmoraDoc doc(ui);
  test::PutSilence(doc, 0, {44100, 2, 16}, 4);
  doc.SetLevel(0, 30);
  test::DocumentAccess::slot(doc, 0).path = "/tmp/x.wav";
  test::PutMix(doc, 4);
  doc.SetStartMark(3);
  doc.SetEndMark(3);
  doc.SetPosition(3);
  test::DocumentAccess::outputPath(doc) = "/tmp/mix.wav";
  doc.SetFadeIn(2, {FadeCurve::Linear, 500});
  doc.SetFadeOut(4, {FadeCurve::Concave, 900});
  test::DocumentAccess::corrections(doc).push_back({1, 2});
  doc.SetMixStale(true);
  doc.SetModifiedFlag(true);
  doc.SetPathName("/tmp/x.wav");

  ASSERT_TRUE(doc.OnNewDocument());
  for (const ChannelSlot& slot : doc.slots()) {
    EXPECT_FALSE(slot.HasData());
    EXPECT_EQ(slot.frames, 0u);
    EXPECT_EQ(slot.autoLevel, 0);
    EXPECT_FALSE(slot.selected);
    EXPECT_FALSE(slot.inUse);
    EXPECT_EQ(slot.level, 100);
    EXPECT_EQ(slot.balance, 10);
    EXPECT_EQ(slot.offset, 0);
    EXPECT_TRUE(slot.path.empty());
  }
  EXPECT_FALSE(doc.HasMix());
  EXPECT_FALSE(doc.blockPeaks().has());
  EXPECT_EQ(doc.mixFrames(), 0u);
  EXPECT_TRUE(doc.outputPath().empty());
  EXPECT_EQ(doc.startMark() + doc.endMark() + doc.position(), 0u);
  EXPECT_EQ(doc.outHeader().riff.samplesPerSec, 0);
  EXPECT_FALSE(doc.mixStale());
  EXPECT_EQ(doc.fadeIn()[2].time, 0);
  EXPECT_EQ(doc.fadeOut()[4].curve, FadeCurve::Convex);
  EXPECT_EQ(doc.correctionCount(), 0);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_TRUE(doc.GetPathName().empty());
}

TEST(DocumentModel, SaveModifiedAsksAboutUnsavedChannelsFirst) {
  struct Case {
    const char* name;
    bool modified;
    std::vector<Answer> answers;
    bool result;
    int questions;
  };
  const std::vector<Case> cases = {
      {"cancel at the channel keeps the program open", true, {Answer::Cancel}, false, 1},
      {"no, no: closes", true, {Answer::No, Answer::No}, true, 2},
      {"no, then cancel at the mix", true, {Answer::No, Answer::Cancel}, false, 2},
      {"unmodified asks only about the channel", false, {Answer::No}, true, 1},
      {"yes but the channel's save is cancelled", true, {Answer::Yes}, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi ui;
    CVelmoraDoc doc(ui);
    doc.SetTitle("無題");
    test::PutSilence(doc, 0, {44100, 2, 16}, 4);
    test::DocumentAccess::slot(doc, 0).path = "/tmp/loaded.wav";
    test::PutSilence(doc, 2, {44100, 2, 16}, 4);  // recorded: no path
    doc.SetModifiedFlag(c.modified);
    ui.answers.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(doc.SaveModified(), c.result);
    ASSERT_EQ(ui.messages.size(), static_cast<std::size_t>(c.questions));
    EXPECT_EQ(ui.messages[0].text, "チャンネル3のデータは保存されていません。\n保存しますか？");
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Warning);
    if (c.questions == 2) {
      EXPECT_EQ(ui.messages[1].text, "無題 への変更を保存しますか？");
    }
  }
}

TEST(DocumentModel, SaveModifiedWithNothingUnsavedAndCleanAsksNothing) {
  FakeUi ui;
  CVelmoraDoc doc(ui);
  EXPECT_TRUE(doc.SaveModified());
  EXPECT_TRUE(ui.messages.empty());
}

TEST(DocumentWorker, DestructorAsksTheWorkerToStopAndWaitsForIt) {
  FakeUi ui;
  std::atomic<bool> sawStop{false};
  {
    CVelmoraDoc doc(ui);
    MixWorker& worker = test::DocumentAccess::worker(doc);
    ASSERT_TRUE(worker.Start([&worker, &sawStop] {
      while (!worker.stopFlag().load(std::memory_order_acquire)) std::this_thread::yield();
      sawStop = true;
    }));
  }
  EXPECT_TRUE(sawStop);
}

// A change made while a background build runs is not in that build: the mix stays stale until a
// build that saw the change is over.
TEST(DocumentWorker, ChangeDuringABackgroundBuildKeepsTheMixStale) {
  FakeUi ui;
  CVelmoraDoc doc(ui);
  test::PutSilence(doc, 0, {44100, 2, 16}, 44100 * 120);  // long enough to outlast the change
  ASSERT_EQ(doc.BuildMix(2048, true), MixBuild::Building);
  doc.SetLevel(0, 50);
  doc.WaitForWorker(false);
  EXPECT_TRUE(doc.mixStale()) << "the build that ran knew nothing of the level";

  ASSERT_EQ(doc.BuildMix(2048, true), MixBuild::Building);
  doc.WaitForWorker(false);
  EXPECT_FALSE(doc.mixStale()) << "this build saw the latest change";
}

TEST(DocumentModel, TitleAndPathNameAsTheFrameworkKeepsThem) {
  FakeUi ui;
  CVelmoraDoc doc(ui);
  doc.SetPathName("/home/user/録音/take 1.wav");
  EXPECT_EQ(doc.GetTitle(), "take 1.wav");
  EXPECT_EQ(UpperExtension3("/a/b.wav"), "WAV");
  EXPECT_EQ(UpperExtension3("/a/歌.wAv"), "WAV");
  EXPECT_EQ(UpperExtension3("/a/うた"), "/うた");
  EXPECT_EQ(UpperExtension3("ab"), "AB");
}

}  // namespace
}  // namespace velmora
