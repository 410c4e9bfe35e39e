// Undo and redo through the document's own commands: every kind of change taken back leaves the
// saved mix as it was, byte for byte; steps stay bounded in number and memory.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SaveSupport.h"
#include "document/UndoHistory.h"
#include "io/AvailableMemory.h"

namespace velmora {
namespace {

using test::DocWithFiles;
using test::Spec;

// What a change can reach, as files and bytes: the whole mix saved, the stretch between the
// marks saved, and each channel's samples.
struct Saved {
  std::vector<uint8_t> mix;
  std::vector<uint8_t> betweenMarks;
  std::vector<std::vector<uint8_t>> channels;
  bool operator==(const Saved& o) const {
    return mix == o.mix && betweenMarks == o.betweenMarks && channels == o.channels;
  }
};

Saved SaveAll(DocWithFiles& f) {
  // With no channel there is no mix to save.
  if (!f.doc.HasAnyChannel()) return Saved{};
  const std::string mixPath = f.dir.File("mix.wav");
  const std::string marksPath = f.dir.File("marks.wav");
  f.ui.saveChoices.push_back(mixPath);
  f.doc.SaveMixAs();
  f.ui.saveChoices.push_back(marksPath);
  f.doc.SaveBetweenMarks();
  Saved saved{test::ReadBytes(mixPath), test::ReadBytes(marksPath), {}};
  for (const ChannelSlot& slot : f.doc.slots()) {
    saved.channels.push_back(test::BytesOf(slot.data.data(), slot.data.size()));
  }
  return saved;
}

// Two channels of different formats, marks inside both, every setting at its load value.
void TwoChannels(DocWithFiles& f) {
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(20000));
  std::vector<uint8_t> mono8(10000);
  for (std::size_t i = 0; i < mono8.size(); ++i) mono8[i] = static_cast<uint8_t>(128 + i % 90);
  f.Load(1, Spec(1, 22050, 8), mono8);
  f.doc.SetStartMark(3000);
  f.doc.SetEndMark(15000);
}

ChannelSlot Take(uint32_t frames) {
  ByteBuffer samples;
  EXPECT_TRUE(samples.Allocate(frames * 2));
  for (uint32_t i = 0; i < frames * 2; ++i) samples.data()[i] = static_cast<uint8_t>(i * 13);
  ChannelSlot take;
  take.HoldRecording(std::move(samples), frames, 1, 44100, 16);
  take.offset = 120;
  return take;
}

TEST(Undo, EachKindOfChangeUndoneSavesTheSameMixAndRedoneTheChangedOne) {
  struct Case {
    const char* name;
    std::function<void(DocWithFiles&)> change;
    std::vector<std::string> stepNames;  // newest first
  };
  const std::vector<Case> cases = {
      {"level", [](DocWithFiles& f) { f.doc.SetLevel(0, 150); }, {"レベル (Ch1)"}},
      {"balance", [](DocWithFiles& f) { f.doc.SetBalance(1, 3); }, {"バランス (Ch2)"}},
      {"offset", [](DocWithFiles& f) { f.doc.SetOffset(1, 250); }, {"オフセット (Ch2)"}},
      {"selection", [](DocWithFiles& f) { f.doc.SetSelected(0, false); }, {"チャンネル選択 (Ch1)"}},
      {"fade in of a channel",
       [](DocWithFiles& f) {
         f.doc.SetFadeIn(0, FadeSetting{FadeCurve::Linear, 100});
       },
       {"フェードイン (Ch1)"}},
      {"fade out of the mix",
       [](DocWithFiles& f) {
         f.doc.SetFadeOut(kWholeMix, FadeSetting{FadeCurve::Concave, 200});
       },
       {"フェードアウト (全体)"}},
      {"mono playback", [](DocWithFiles& f) { f.doc.SetMonoPlayback(true); }, {"モノラル再生"}},
      {"start mark", [](DocWithFiles& f) { f.doc.SetStartMark(5000); }, {"開始マーク"}},
      {"end mark", [](DocWithFiles& f) { f.doc.SetEndMark(9000); }, {"終了マーク"}},
      {"load",
       [](DocWithFiles& f) { f.Load(2, Spec(1, 44100, 16), test::StereoRamp16(4000, 3)); },
       {"読み込み (Ch3)"}},
      {"release", [](DocWithFiles& f) { f.doc.ReleaseChannel(1); }, {"解放 (Ch2)"}},
      {"release of every channel",
       [](DocWithFiles& f) {
         f.doc.ReleaseChannel(0);
         f.doc.ReleaseChannel(1);
       },
       {"解放 (Ch2)", "解放 (Ch1)"}},
      {"mono conversion", [](DocWithFiles& f) { f.doc.ConvertToMono(0); }, {"モノラル変換 (Ch1)"}},
      {"trim", [](DocWithFiles& f) { f.doc.TrimToMarks(1); }, {"切り詰め (Ch2)"}},
      {"trim of a stereo channel",
       [](DocWithFiles& f) { f.doc.TrimToMarks(0); },
       {"切り詰め (Ch1)"}},
      {"recorded take",
       [](DocWithFiles& f) {
         // As the recorder stores a take: the channel and the end mark in one step.
         f.doc.ApplyStep(ChangeList(ChannelContentChange{3, Take(6000), ChannelEvent::Recorded},
                                    MarksChange{f.doc.startMark(), 0}));
       },
       {"録音 (Ch4)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DocWithFiles f;
    TwoChannels(f);
    const Saved before = SaveAll(f);

    c.change(f);
    ASSERT_EQ(f.doc.history().UndoName(), c.stepNames.front());
    const bool staleAfterChange = f.doc.mixStale();
    const Saved changed = SaveAll(f);
    EXPECT_FALSE(changed == before) << "the change changed nothing";

    for (const std::string& name : c.stepNames) {
      EXPECT_EQ(f.doc.history().UndoName(), name);
      ASSERT_TRUE(f.doc.Undo());
    }
    EXPECT_EQ(f.doc.mixStale(), staleAfterChange) << "undo makes the mix stale as the change did";
    EXPECT_TRUE(SaveAll(f) == before) << "undone, the saved mix is the one before the change";

    for (auto name = c.stepNames.rbegin(); name != c.stepNames.rend(); ++name) {
      EXPECT_EQ(f.doc.history().RedoName(), *name);
      ASSERT_TRUE(f.doc.Redo());
    }
    EXPECT_FALSE(f.doc.history().CanRedo());
    EXPECT_TRUE(SaveAll(f) == changed) << "redone, the saved mix is the changed one";
    EXPECT_TRUE(f.ui.Texts().empty()) << ::testing::PrintToString(f.ui.Texts());
  }
}

TEST(Undo, TrimStepHoldsOnlyTheCutFramesAndTheFadedEdges) {
  DocWithFiles f;
  constexpr uint32_t kFrames = 441000;  // ten seconds of 16-bit stereo at 44.1 kHz
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(kFrames));
  f.doc.SetStartMark(44100);          // one second off the head
  f.doc.SetEndMark(kFrames - 88201);  // two seconds off the tail
  const uint64_t marksBytes = f.doc.history().HeldBytes();
  f.doc.TrimToMarks(0);

  const uint64_t channelBytes = uint64_t{kFrames} * 4;
  const uint64_t cut = uint64_t{kFrames} - f.doc.slot(0).frames;
  const uint64_t edges = 2 * 441;  // the 10 ms faded at each new end
  EXPECT_EQ(f.doc.history().HeldBytes() - marksBytes, (cut + edges) * 4);
  EXPECT_LT((cut + edges) * 4, channelBytes / 3);

  // Undone, the redo step holds the faded edges alone.
  ASSERT_TRUE(f.doc.Undo());
  EXPECT_EQ(f.doc.slot(0).frames, kFrames);
  EXPECT_EQ(f.doc.history().HeldBytes() - marksBytes, edges * 4);
}

TEST(Undo, TrimUndoneGivesBackEveryByteOfTheChannelAndItsSettings) {
  struct Case {
    const char* name;
    test::WavSpec spec;
    std::size_t bytes;  // an odd count leaves a byte past the last whole frame
    uint32_t start, end;
  };
  const Case cases[] = {
      {"16-bit mono, a stray byte, both ends", Spec(1, 44100, 16), 20001, 1000, 8000},
      {"8-bit stereo, head only", Spec(2, 22050, 8), 8000, 3000, 0},
      {"16-bit stereo, tail only", Spec(2, 44100, 16), 16000, 0, 2000},
      {"kept part shorter than its fades", Spec(1, 44100, 16), 4000, 1000, 1100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DocWithFiles f;
    std::vector<uint8_t> data(c.bytes);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + i / 7);
    f.Load(0, c.spec, data);
    f.doc.SetOffset(0, 10);
    f.doc.SetLevel(0, 77);
    f.doc.SetStartMark(c.start);
    f.doc.SetEndMark(c.end);
    const ChannelSlot& slot = f.doc.slot(0);
    ASSERT_EQ(slot.data.size(), c.bytes);
    const std::vector<uint8_t> before = test::BytesOf(slot.data.data(), slot.data.size());
    const std::vector<int32_t> settings{slot.level, slot.autoLevel, slot.offset,
                                        static_cast<int32_t>(slot.frames)};

    f.doc.TrimToMarks(0);
    ASSERT_LT(slot.frames, static_cast<uint32_t>(settings[3]));
    ASSERT_TRUE(f.doc.Undo());
    EXPECT_EQ(test::BytesOf(slot.data.data(), slot.data.size()), before);
    EXPECT_EQ((std::vector<int32_t>{slot.level, slot.autoLevel, slot.offset,
                                    static_cast<int32_t>(slot.frames)}),
              settings);
  }
}

TEST(Undo, TrimOrItsUndoWithoutMemoryChangesNothingAndKeepsTheStep) {
  DocWithFiles f;
  constexpr uint32_t kFrames = 20000;
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(kFrames));
  f.doc.SetStartMark(5000);
  const std::vector<uint8_t> whole = test::BytesOf(f.doc.slot(0).data.data(), kFrames * 4);
  const std::size_t steps = f.doc.history().UndoCount();

  // Room for the edges but not for the trimmed channel.
  ByteBuffer::SetFailAboveForTesting(kFrames * 2);
  f.doc.TrimToMarks(0);
  EXPECT_EQ(f.ui.Texts(), std::vector<std::string>{msg::kOutOfMemory});
  EXPECT_EQ(f.doc.slot(0).frames, kFrames);
  EXPECT_EQ(f.doc.history().UndoCount(), steps) << "a trim that did not happen is no step";
  ByteBuffer::SetFailAboveForTesting(0);

  f.doc.TrimToMarks(0);
  const uint32_t trimmed = f.doc.slot(0).frames;
  ASSERT_LT(trimmed, kFrames);
  ByteBuffer::SetFailAboveForTesting(kFrames * 2);
  EXPECT_FALSE(f.doc.Undo());
  EXPECT_EQ(f.ui.Texts().size(), 2u);
  EXPECT_EQ(f.doc.slot(0).frames, trimmed);
  EXPECT_EQ(f.doc.history().UndoName(), "切り詰め (Ch1)") << "the step stays to be tried again";
  ByteBuffer::SetFailAboveForTesting(0);

  ASSERT_TRUE(f.doc.Undo());
  EXPECT_EQ(test::BytesOf(f.doc.slot(0).data.data(), f.doc.slot(0).data.size()), whole);
}

TEST(Undo, MovesOfOneSliderAreOneStepUntilAnotherChangeOrAnUndo) {
  DocWithFiles f;
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(1000));
  f.Load(1, Spec(2, 44100, 16), test::StereoRamp16(1000));
  const int32_t level0 = f.doc.slot(0).level;
  const int32_t level1 = f.doc.slot(1).level;
  const std::size_t steps = f.doc.history().UndoCount();
  for (int32_t level = 120; level <= 130; ++level) f.doc.SetLevel(0, level);
  EXPECT_EQ(f.doc.history().UndoCount(), steps + 1);
  f.doc.SetLevel(1, 50);  // another channel: a step of its own
  f.doc.SetLevel(1, 60);
  f.doc.SetBalance(1, 2);  // another control
  f.doc.SetLevel(1, 70);   // the same slider again, after another change: a new step
  EXPECT_EQ(f.doc.history().UndoCount(), steps + 4);

  ASSERT_TRUE(f.doc.Undo());
  EXPECT_EQ(f.doc.slot(1).level, 60);
  ASSERT_TRUE(f.doc.Undo());
  ASSERT_TRUE(f.doc.Undo());
  EXPECT_EQ(f.doc.slot(1).level, level1);
  f.doc.SetLevel(0, 10);  // after an undo: never joins the step below
  ASSERT_TRUE(f.doc.Undo());
  EXPECT_EQ(f.doc.slot(0).level, 130);
  ASSERT_TRUE(f.doc.Undo());
  EXPECT_EQ(f.doc.slot(0).level, level0);
}

TEST(Undo, NewChangeDropsTheRedoStepsAndNewDocumentTheWholeHistory) {
  DocWithFiles f;
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(1000));
  f.doc.SetSelected(0, false);
  ASSERT_TRUE(f.doc.Undo());
  EXPECT_TRUE(f.doc.history().CanRedo());
  f.doc.SetMonoPlayback(true);
  EXPECT_FALSE(f.doc.history().CanRedo());
  EXPECT_FALSE(f.doc.Redo());

  f.doc.OnNewDocument();
  EXPECT_FALSE(f.doc.history().CanUndo());
  EXPECT_EQ(f.doc.history().HeldBytes(), 0u);
  EXPECT_FALSE(f.doc.Undo());
}

TEST(Undo, HistoryKeepsTheNewestHundredSteps) {
  DocWithFiles f;
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(100));
  // Selection changes never join: each is a step.
  for (int i = 0; i < 150; ++i) f.doc.SetSelected(0, i % 2 == 0 ? false : true);
  EXPECT_EQ(f.doc.history().UndoCount(), UndoHistory::kStepLimit);
  int undone = 0;
  while (f.doc.Undo()) ++undone;
  EXPECT_EQ(undone, 100);
  // The load and the first fifty changes are past undoing.
  EXPECT_TRUE(f.doc.slot(0).HasData());
  EXPECT_EQ(f.doc.history().RedoCount(), UndoHistory::kStepLimit);
}

std::optional<uint64_t> EightMegabytes() {
  return 8u << 20;
}

TEST(Undo, HistoryDropsTheOldestStepsPastAQuarterOfTheAvailableMemory) {
  SetMemoryProbeForTesting(&EightMegabytes);
  UndoHistory history;
  const auto stepOf = [](std::size_t bytes) {
    ChannelSlot released;
    EXPECT_TRUE(released.data.Allocate(bytes));
    UndoStep step;
    step.name = std::to_string(bytes);
    step.changes.push_back(ChannelContentChange{0, std::move(released), ChannelEvent::Restored});
    return step;
  };
  for (int i = 0; i < 6; ++i) {
    history.Record(stepOf(1u << 20));
    // (8 MB + held) / 4: two 1 MB steps fit, a third does not.
    EXPECT_LE(history.HeldBytes(), history.ByteLimit());
  }
  EXPECT_EQ(history.UndoCount(), 2u);
  EXPECT_EQ(history.HeldBytes(), 2u << 20);
  // A step larger than the limit on its own still stays: it was the document's a moment ago.
  history.Record(stepOf(5u << 20));
  EXPECT_EQ(history.UndoCount(), 1u);
  EXPECT_EQ(history.UndoName(), std::to_string(5u << 20));
  SetMemoryProbeForTesting(nullptr);
}

}  // namespace
}  // namespace velmora
