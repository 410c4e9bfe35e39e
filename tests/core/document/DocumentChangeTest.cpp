// Every change to the document, applied and then undone by the change it handed back, leaves the
// document as it was: settings, samples, fades, marks and the output path.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "document/DocumentChange.h"
#include "document/VelmoraDoc.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

// What the changes can touch, as plain values.
struct Snapshot {
  std::vector<std::vector<uint8_t>> samples;
  std::vector<std::vector<int32_t>> settings;  // level, balance, offset, selected, auto level
  std::vector<std::string> paths;
  std::vector<int32_t> fades;
  uint32_t startMark = 0;
  uint32_t endMark = 0;
  bool mono = false;
  std::string outputPath;
  uint32_t mixRate = 0;

  bool operator==(const Snapshot& other) const {
    return samples == other.samples && settings == other.settings && paths == other.paths &&
           fades == other.fades && startMark == other.startMark && endMark == other.endMark &&
           mono == other.mono && outputPath == other.outputPath && mixRate == other.mixRate;
  }
};

Snapshot Take(const CVelmoraDoc& doc) {
  Snapshot s;
  for (const ChannelSlot& slot : doc.slots()) {
    s.samples.emplace_back(slot.data.data(), slot.data.data() + slot.data.size());
    s.settings.push_back(
        {slot.level, slot.balance, slot.offset, slot.selected ? 1 : 0, slot.autoLevel});
    s.paths.push_back(slot.path);
  }
  for (int i = 0; i <= kWholeMix; ++i) {
    s.fades.push_back(doc.fadeIn()[i].time);
    s.fades.push_back(static_cast<int32_t>(doc.fadeIn()[i].curve));
    s.fades.push_back(doc.fadeOut()[i].time);
    s.fades.push_back(static_cast<int32_t>(doc.fadeOut()[i].curve));
  }
  s.startMark = doc.startMark();
  s.endMark = doc.endMark();
  s.mono = doc.monoPlayback();
  s.outputPath = doc.outputPath();
  s.mixRate = doc.MixRate();
  return s;
}

ChannelSlot Recorded(uint32_t frames, int rate) {
  ByteBuffer samples;
  EXPECT_TRUE(samples.Allocate(frames * 2));
  for (uint32_t i = 0; i < frames * 2; ++i) samples.data()[i] = static_cast<uint8_t>(i * 13);
  ChannelSlot slot;
  slot.HoldRecording(std::move(samples), frames, 1, rate, 16);
  slot.offset = 250;
  return slot;
}

TEST(DocumentChangeTest, EachChangeUndoneByWhatItHandsBackLeavesTheDocumentAsItWas) {
  struct Case {
    const char* name;
    std::function<DocumentChange()> change;
  };
  const std::vector<Case> cases = {
      {"level",
       [] {
         return LevelChange{1, 37};
       }},
      {"balance",
       [] {
         return BalanceChange{0, 3};
       }},
      {"offset",
       [] {
         return OffsetChange{1, -1500};
       }},
      {"selection",
       [] {
         return SelectionChange{0, false};
       }},
      {"fade in of a channel",
       [] {
         return FadeChange{FadeChange::Direction::In, 1, FadeSetting{FadeCurve::Linear, 1200}};
       }},
      {"fade out of the mix",
       [] {
         return FadeChange{FadeChange::Direction::Out, kWholeMix,
                           FadeSetting{FadeCurve::Concave, 3000}};
       }},
      {"mono playback", [] { return MonoPlaybackChange{true}; }},
      {"marks",
       [] {
         return MarksChange{100, 2000};
       }},
      {"output path", [] { return OutputPathChange{"/tmp/mix.wav"}; }},
      {"a take into the empty channel 3",
       [] {
         return ChannelContentChange{2, Recorded(3000, 22050), ChannelEvent::Recorded};
       }},
      {"release of channel 1",
       [] {
         return ChannelContentChange{0, {}, ChannelEvent::Released};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::FakeUi ui;
    CVelmoraDoc doc(ui);
    std::vector<uint8_t> bytes(4000 * 4);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 97);
    test::PutChannel(doc, 0, {}, bytes);
    test::PutChannel(doc, 1, {}, std::vector<uint8_t>(bytes.rbegin(), bytes.rend()));
    doc.UpdateOutputFormat();
    doc.SetMixStale(false);
    const Snapshot before = Take(doc);

    DocumentChange undo = doc.Apply(c.change());
    EXPECT_FALSE(Take(doc) == before) << "the change changed something";
    doc.SetMixStale(false);
    DocumentChange redo = doc.Apply(std::move(undo));
    EXPECT_TRUE(Take(doc) == before) << "undone, the document is as it was";
    doc.Apply(std::move(redo));
    EXPECT_FALSE(Take(doc) == before) << "the undo hands back the change again";
  }
}

TEST(DocumentChangeTest, ReleasingTheLastChannelTakesTheMixAndItsFormatWith) {
  test::FakeUi ui;
  CVelmoraDoc doc(ui);
  test::PutSilence(doc, 0, {}, 1000);
  doc.UpdateOutputFormat();
  test::PutMix(doc, 1000);
  doc.Apply(MarksChange{10, 900});
  DocumentChange undo = doc.Apply(ChannelContentChange{0, {}, ChannelEvent::Released});
  EXPECT_FALSE(doc.HasMix());
  EXPECT_EQ(doc.MixRate(), 0u);
  EXPECT_EQ(doc.startMark(), 0u);
  EXPECT_TRUE(doc.mixStale() || !doc.HasAnyChannel());
  doc.Apply(std::move(undo));
  EXPECT_TRUE(doc.slot(0).HasData());
  EXPECT_EQ(doc.MixRate(), 44100u);
  EXPECT_TRUE(doc.mixStale());
}

}  // namespace
}  // namespace velmora
