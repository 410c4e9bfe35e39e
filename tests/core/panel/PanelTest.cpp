// The mixer panel's reactions: sliders, offsets, the make-mix button, the channel commands, the
// context menu, dropped files, initialisation and refresh, all against a table of control states.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "document/CommandRules.h"
#include "document/VelmoraDoc.h"
#include "panel/CorrectionList.h"
#include "panel/MixerPanel.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "seams/MasterVolume.h"
#include "support/DocumentFixture.h"
#include "support/FakeCorrectionListWindow.h"
#include "support/FakeForm.h"
#include "support/FakeTimers.h"
#include "support/FakeUi.h"
#include "support/MemoryServices.h"
#include "support/MenuCommands.h"
#include "support/WavFixture.h"
#include "view/ViewSettings.h"

namespace velmora {
namespace {

using test::FakeForm;
using test::FakeTimers;
using test::FakeUi;
using test::FakeVolume;
using test::TempDir;
using test::WavSpec;

// The view's update notification, as the window layer delivers it.
class RefreshOnUpdate : public DocumentListener {
 public:
  explicit RefreshOnUpdate(MixerPanel& panel) : panel_(panel) {}
  void OnUpdateAllViews(const DocumentNotice& notice) override { panel_.OnUpdate(notice); }
  void OnTitleChanged(const std::string&) override {}

 private:
  MixerPanel& panel_;
};

std::vector<uint8_t> Tone(uint32_t frames, int channels, int16_t amplitude) {
  std::vector<int16_t> samples(static_cast<std::size_t>(frames) * channels);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>((i / channels) % 2 == 0 ? amplitude : -amplitude);
  }
  return test::Pcm16(samples);
}

class PanelTest : public ::testing::Test {
 protected:
  PanelTest()
      : doc(ui),
        list(form),
        panel(ViewContext{doc, ui, form, timers, view}, list, &volume),
        listener(panel) {
    doc.SetListener(&listener);
    list.Attach(&window);
    panel.SetChannelFrames({PanelRect{10, 10, 90, 200}, PanelRect{110, 10, 90, 200},
                            PanelRect{210, 10, 90, 200}, PanelRect{310, 10, 90, 200}});
    panel.Initialise();
    doc.OnNewDocument();
    panel.Refresh();
  }

  std::string WriteFile(const std::string& name, int channels = 2, int16_t amplitude = 16384,
                        uint32_t frames = 4410) {
    WavSpec spec;
    spec.channels = channels;
    return test::WriteWav(dir, name, spec, Tone(frames, channels, amplitude));
  }

  // Loads a channel as a dropped file would.
  void Load(const std::string& name, int channels = 2) {
    panel.OnFilesDropped({WriteFile(name, channels)});
  }

  // A mix of `frames` frames at 44100 Hz without running the mixdown.
  void FakeMix(uint32_t frames) { test::PutMix(doc, frames); }

  const test::ControlState& C(int id) const { return form.At(id); }

  TempDir dir;
  FakeUi ui;
  FakeForm form;
  FakeTimers timers;
  ViewSettings view;
  FakeVolume volume{0, 65535, 40000};
  CVelmoraDoc doc;
  test::FakeCorrectionListWindow window;
  CorrectionList list;
  MixerPanel panel;
  RefreshOnUpdate listener;
};

// ---- Sliders ----

TEST_F(PanelTest, UndoAndRedoOfASliderMoveSetTheSliderAndMakeTheMixStale) {
  Load("a.wav");
  const int32_t loaded = doc.slot(0).level;
  form.Drag(ctl::kLevel[0], 30);
  panel.OnScroll(ctl::kLevel[0], ScrollCode::EndScroll);
  panel.OnScroll(ctl::kLevel[0], ScrollCode::LineDown);  // the same slider: the same step
  ASSERT_EQ(doc.slot(0).level, 31);
  doc.SetMixStale(false);
  form.Enable(ctl::kMakeMix, false);

  EXPECT_TRUE(panel.OnCommand(cmd::kUndo));
  EXPECT_EQ(doc.slot(0).level, loaded);
  EXPECT_EQ(C(ctl::kLevel[0]).position, loaded);
  EXPECT_TRUE(doc.mixStale());
  EXPECT_TRUE(C(ctl::kMakeMix).enabled);

  doc.SetMixStale(false);
  EXPECT_TRUE(panel.OnCommand(cmd::kRedo));
  EXPECT_EQ(C(ctl::kLevel[0]).position, 31);
  EXPECT_TRUE(doc.mixStale());

  doc.SetTransportState(TransportState::Recording);
  EXPECT_TRUE(panel.OnCommand(cmd::kUndo));
  EXPECT_EQ(doc.slot(0).level, 31) << "no undo while recording";
  doc.SetTransportState(TransportState::Stopped);
}

struct StripScroll {
  const char* name;
  const int* ids;
  int32_t ChannelSlot::*field;
  int32_t start;
  ScrollCode code;
  int slider;  // the slider's position when the notification arrives
  int32_t expected;
  bool handled;
};

TEST_F(PanelTest, LevelAndBalanceSlidersSetTheirFieldWithinLimitsAndMarkTheMixStale) {
  const StripScroll cases[] = {
      {"level line up", ctl::kLevel, &ChannelSlot::level, 50, ScrollCode::LineUp, 49, 49, true},
      {"level line up at the top", ctl::kLevel, &ChannelSlot::level, 0, ScrollCode::LineUp, 0, 0,
       true},
      {"level line down at the bottom", ctl::kLevel, &ChannelSlot::level, 200, ScrollCode::LineDown,
       200, 200, true},
      {"level dragged to the top", ctl::kLevel, &ChannelSlot::level, 120, ScrollCode::EndScroll, 0,
       0, true},
      {"level while dragging", ctl::kLevel, &ChannelSlot::level, 120, ScrollCode::ThumbTrack, 30,
       120, false},
      {"level page", ctl::kLevel, &ChannelSlot::level, 120, ScrollCode::PageUp, 100, 120, false},
      {"balance line left at full left", ctl::kBalance, &ChannelSlot::balance, 0,
       ScrollCode::LineUp, 0, 0, true},
      {"balance line right at full right", ctl::kBalance, &ChannelSlot::balance, 20,
       ScrollCode::LineDown, 20, 20, true},
      {"balance line right", ctl::kBalance, &ChannelSlot::balance, 10, ScrollCode::LineDown, 11, 11,
       true},
      {"balance released", ctl::kBalance, &ChannelSlot::balance, 10, ScrollCode::EndScroll, 3, 3,
       true},
  };
  Load("a.wav");
  Load("b.wav");
  for (const StripScroll& c : cases) {
    SCOPED_TRACE(c.name);
    test::DocumentAccess::slot(doc, 1).*c.field = c.start;
    doc.SetMixStale(false);
    doc.SetModifiedFlag(false);
    form.Drag(c.ids[1], c.slider);

    panel.OnScroll(c.ids[1], c.code);

    EXPECT_EQ(doc.slot(1).*c.field, c.expected);
    EXPECT_EQ(doc.mixStale(), c.handled);
    EXPECT_EQ(doc.IsModified(), c.handled);
    EXPECT_EQ(doc.slot(0).level, doc.slot(0).autoLevel) << "other channels stay";
  }
}

struct PositionScroll {
  const char* name;
  uint32_t start;
  ScrollCode code;
  int slider;
  uint32_t expected;
  const char* time;
};

TEST_F(PanelTest, PositionSliderMovesByLinesAndBlocksWithinTheMixAndShowsTheTime) {
  // 100000 frames at 44100 Hz with blocks of 2048: the last position is 97952.
  const PositionScroll cases[] = {
      {"page left below one block", 1000, ScrollCode::PageUp, 0, 0, "00:00.000"},
      {"page left", 50000, ScrollCode::PageUp, 0, 47952, "00:01.087"},
      {"page right to the last block", 97000, ScrollCode::PageDown, 0, 97952, "00:02.221"},
      {"line right at the last block", 97952, ScrollCode::LineDown, 0, 97952, "00:02.221"},
      {"line right", 44099, ScrollCode::LineDown, 0, 44100, "00:01.000"},
      {"line left at the start", 0, ScrollCode::LineUp, 0, 0, "00:00.000"},
      {"released", 5, ScrollCode::EndScroll, 88200, 88200, "00:02.000"},
  };
  Load("a.wav");
  FakeMix(100000);
  form.SetRange(ctl::kPositionSlider, 0, 97952);
  for (const PositionScroll& c : cases) {
    SCOPED_TRACE(c.name);
    doc.SetPosition(c.start);
    form.Drag(ctl::kPositionSlider, c.slider);

    panel.OnScroll(ctl::kPositionSlider, c.code);

    EXPECT_EQ(doc.position(), c.expected);
    EXPECT_EQ(C(ctl::kPositionSlider).position, static_cast<int>(c.expected));
    EXPECT_EQ(C(ctl::kPositionTime).text, c.time);
    EXPECT_FALSE(doc.mixStale()) << "moving the position keeps the mix";
  }

  doc.SetPosition(300);
  form.Drag(ctl::kPositionSlider, 600);
  panel.OnScroll(ctl::kPositionSlider, ScrollCode::ThumbTrack);
  EXPECT_EQ(doc.position(), 300u) << "tracking is left to the release";
}

TEST_F(PanelTest, PositionSliderStaysAtZeroWhenTheMixIsShorterThanOneBlock) {
  Load("a.wav");
  FakeMix(1000);
  for (ScrollCode code : {ScrollCode::LineDown, ScrollCode::PageDown}) {
    panel.OnScroll(ctl::kPositionSlider, code);
    EXPECT_EQ(doc.position(), 0u);
  }
}

// ---- Offsets ----

TEST(OffsetText, FormatsBothSignsAndReadsBack) {
  const struct {
    int32_t ms;
    const char* text;
  } cases[] = {{0, "0.000"},          {1500, "1.500"},
               {3600000, "3600.000"}, {-1, "-0.001"},
               {-500, "-0.500"},      {-999, "-0.999"},
               {-1000, "-1.000"},     {-1500, "-1.500"},
               {-61001, "-61.001"},   {-2147483000, "-2147483.000"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ms);
    EXPECT_EQ(FormatOffset(c.ms), c.text);
    const std::optional<ParsedOffset> back = ParseOffset(c.text);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->milliseconds, c.ms);
  }
}

TEST(OffsetText, ParsesSecondsFromTheFirstElevenCharactersRoundingHalvesAwayFromZero) {
  const struct {
    const char* text;
    std::optional<int32_t> ms;
  } cases[] = {
      {"1.5", 1500},
      {"  2.25", 2250},
      {"0.0005", 1},
      {"-0.0015", -2},
      {"0.0004", 0},
      {"1e3", 1000000},
      {"2.5\n7", 2500},
      {"1.5秒", 1500},
      {"123456.7891234", 123456789},  // only "123456.7891" is read
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"nan", std::nullopt},
      {"inf", std::nullopt},
      {"99999999999", std::nullopt},  // beyond what milliseconds can hold
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<ParsedOffset> parsed = ParseOffset(c.text);
    ASSERT_EQ(parsed.has_value(), c.ms.has_value());
    if (parsed) {
      EXPECT_EQ(parsed->milliseconds, *c.ms);
    }
  }
}

TEST_F(PanelTest, TypedOffsetIsTakenWhileTypingAndCheckedWhenTheFieldLosesFocus) {
  Load("a.wav");
  const int edit = ctl::kOffsetEdit[0];

  form.Type(edit, "1.5");
  panel.OnOffsetTextChanged(edit);
  EXPECT_EQ(doc.slot(0).offset, 1500);
  EXPECT_EQ(C(ctl::kOffsetSpin[0]).position, 1500);
  EXPECT_TRUE(doc.mixStale());
  panel.OnOffsetFocusLost(edit);
  EXPECT_TRUE(ui.messages.empty());

  form.Type(edit, "-0.5");
  panel.OnOffsetTextChanged(edit);
  EXPECT_EQ(doc.slot(0).offset, -500) << "accepted while typing";
  panel.OnOffsetFocusLost(edit);
  ASSERT_EQ(ui.Texts(), std::vector<std::string>{msg::kOffsetRange});
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
  EXPECT_EQ(C(edit).focusRequests, 1) << "text selected and focus given back";
  EXPECT_EQ(doc.slot(0).offset, -500) << "stays until the field is corrected";

  for (const char* refused : {"3600.001", "abc", ""}) {
    SCOPED_TRACE(refused);
    form.Type(edit, refused);
    panel.OnOffsetTextChanged(edit);
    panel.OnOffsetFocusLost(edit);
    EXPECT_EQ(ui.messages.back().text, msg::kOffsetRange);
  }
  EXPECT_EQ(ui.messages.size(), 4u);

  // A value that reached the field without a change notice is taken when the focus goes.
  doc.SetMixStale(false);
  form.Type(edit, "3600");
  panel.OnOffsetFocusLost(edit);
  EXPECT_EQ(doc.slot(0).offset, 3600000);
  EXPECT_EQ(C(ctl::kOffsetSpin[0]).position, 3600000);
  EXPECT_TRUE(doc.mixStale());
  EXPECT_EQ(ui.messages.size(), 4u);
}

TEST_F(PanelTest, RefreshWritesNegativeOffsetAndReadsItBack) {
  Load("a.wav");
  doc.SetOffset(0, -500);
  panel.Refresh();
  EXPECT_EQ(C(ctl::kOffsetEdit[0]).text, "-0.500");
  EXPECT_EQ(doc.slot(0).offset, -500);
  EXPECT_EQ(C(ctl::kOffsetSpin[0]).position, 0) << "the spin cannot go below 0";
}

struct SpinCase {
  const char* name;
  int spin;
  int delta;
  int32_t offset;
  const char* text;
};

TEST_F(PanelTest, OffsetSpinIsRefusedBeyondItsLimitsAndRewritesTheField) {
  const SpinCase cases[] = {
      {"one up", 100, 1, 101, "0.101"},
      {"one down", 100, -1, 99, "0.099"},
      {"down at zero", 0, -1, 0, "0.000"},
      {"down past zero", 5, -10, 0, "0.000"},
      {"up to the limit", 3599990, 10, 3600000, "3600.000"},
      {"up past the limit", 3599999, 100, 3600000, "3600.000"},
      {"up at the limit", 3600000, 1, 3600000, "3600.000"},
  };
  Load("a.wav");
  for (const SpinCase& c : cases) {
    SCOPED_TRACE(c.name);
    form.SetPosition(ctl::kOffsetSpin[0], c.spin);
    doc.SetMixStale(false);

    panel.OnOffsetSpinDelta(ctl::kOffsetSpin[0], c.delta);

    EXPECT_EQ(doc.slot(0).offset, c.offset);
    EXPECT_EQ(C(ctl::kOffsetSpin[0]).position, c.offset);
    EXPECT_EQ(C(ctl::kOffsetEdit[0]).text, c.text);
    EXPECT_TRUE(doc.mixStale());
    EXPECT_EQ(panel.offsetEchoGuard(), 0) << "the guard only covers the panel's own write";
  }

  // After the spin's write the next typed text is read again.
  form.Type(ctl::kOffsetEdit[0], "2.000");
  panel.OnOffsetTextChanged(ctl::kOffsetEdit[0]);
  EXPECT_EQ(doc.slot(0).offset, 2000);
}

TEST(SpinHoldTest, StepsGrowFromOneToTenToHundredWhileHeld) {
  SpinHold hold;
  std::vector<int> steps;
  for (int t = 0; t <= 2100; t += 50) steps.push_back(hold.Step(+1, t));
  EXPECT_EQ(steps[0], 1);
  EXPECT_EQ(steps[19], 1);   // 950 ms
  EXPECT_EQ(steps[20], 10);  // 1000 ms
  EXPECT_EQ(steps[39], 10);  // 1950 ms
  EXPECT_EQ(steps[40], 100);

  EXPECT_EQ(hold.Step(-1, 2150), -1) << "a new direction starts a new hold";
  EXPECT_EQ(hold.Step(-1, 2150 + SpinHold::kHoldGapMs + 1), -1) << "a pause ends the hold";
  hold.Step(-1, 4000);
  hold.Release();
  EXPECT_EQ(hold.Step(-1, 4010 + 1500), -1);
}

TEST_F(PanelTest, HeldSpinNeverPassesTheLimit) {
  Load("a.wav");
  const int spin = ctl::kOffsetSpin[0];
  form.SetPosition(spin, 3598000);  // 2320 ms of steps in the first 2 s
  for (int t = 0; t <= 3000; t += 50) panel.OnOffsetSpinArrow(spin, +1, t);
  EXPECT_EQ(doc.slot(0).offset, 3600000);
  EXPECT_EQ(C(spin).position, 3600000);

  panel.OnOffsetSpinReleased(spin);
  panel.OnOffsetSpinArrow(spin, -1, 3010);
  EXPECT_EQ(doc.slot(0).offset, 3599999) << "released: the next press steps by one";
}

// ---- The mix and the commands ----

TEST_F(PanelTest, MarkMixStaleFollowsWhetherAnyChannelIsLoaded) {
  const struct {
    const char* name;
    bool loaded;
    bool markModified;
    bool modified;
    bool stale;
    bool button;
  } cases[] = {
      {"change with a channel", true, true, true, true, true},
      {"change without a channel", false, true, false, false, false},
      {"selection or mono change", true, false, false, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    doc.OnNewDocument();
    if (c.loaded) Load("a.wav");
    doc.SetModifiedFlag(c.markModified && !c.loaded);
    doc.SetMixStale(false);
    form.Enable(ctl::kMakeMix, !c.button);
    window.shown = true;

    panel.MarkMixStale(c.markModified);

    EXPECT_EQ(doc.IsModified(), c.modified);
    EXPECT_EQ(doc.mixStale(), c.stale);
    EXPECT_EQ(C(ctl::kMakeMix).enabled, c.button);
    EXPECT_FALSE(window.shown) << "the correction list no longer matches";
  }
}

TEST_F(PanelTest, SelectionAndMonoPlaybackToggleWithoutMarkingTheDocumentModified) {
  Load("a.wav");
  doc.SetModifiedFlag(false);
  doc.SetMixStale(false);

  ASSERT_TRUE(panel.OnCommand(cmd::kSelectChannel + 0));
  EXPECT_FALSE(doc.slot(0).selected);
  EXPECT_TRUE(doc.mixStale());
  EXPECT_FALSE(doc.IsModified());

  ASSERT_TRUE(panel.OnCommand(cmd::kMonoPlayback));
  EXPECT_TRUE(doc.monoPlayback());
  ASSERT_TRUE(panel.OnCommand(cmd::kSelectChannel + 0));
  EXPECT_TRUE(doc.slot(0).selected);
  EXPECT_FALSE(doc.IsModified());

  test::DocumentAccess::SetWorkerBusy(doc, true);
  panel.OnCommand(cmd::kSelectChannel + 0);
  EXPECT_TRUE(doc.slot(0).selected) << "disabled while the background mixdown runs";
  test::DocumentAccess::SetWorkerBusy(doc, false);

  EXPECT_FALSE(panel.OnCommand(cmd::kPlay)) << "the transport's";
}

// The router enables the commands a target claims: the panel claims exactly those it runs.
TEST_F(PanelTest, ClaimsExactlyTheCommandsItRuns) {
  Load("a.wav", 2);
  std::vector<int> ids = test::MenuCommands();
  ids.push_back(ctl::kMakeMix);
  int claimed = 0;
  for (int id : ids) {
    EXPECT_EQ(panel.HandlesCommand(id), panel.OnCommand(id)) << id;
    claimed += panel.HandlesCommand(id) ? 1 : 0;
  }
  EXPECT_EQ(claimed, 17)
      << "make-mix, corrections, mono, undo, redo, four each of select, release, convert";
}

TEST_F(PanelTest, MakeMixSetsThePositionRangeAndDisablesTheButton) {
  Load("a.wav");
  Load("b.wav");
  doc.SetStartMark(0);
  ASSERT_TRUE(C(ctl::kMakeMix).enabled);
  doc.SetPosition(2000);  // where the time field stood before
  form.SetText(ctl::kPositionTime, "00:00.453");

  ASSERT_TRUE(panel.OnCommand(ctl::kMakeMix));

  ASSERT_TRUE(doc.HasMix());
  EXPECT_EQ(doc.mixFrames(), 4410u);
  EXPECT_FALSE(C(ctl::kMakeMix).enabled);
  EXPECT_TRUE(C(ctl::kPositionSlider).enabled);
  EXPECT_EQ(C(ctl::kPositionSlider).max, static_cast<int>(4410 - view.blockFrames));
  EXPECT_EQ(C(ctl::kPositionSlider).position, 0);
  EXPECT_EQ(form.GetText(ctl::kPositionTime), "00:00.000") << "the time where the slider is";
  EXPECT_EQ(doc.position(), 0u);
  EXPECT_EQ(ui.waitDepth, 0);
  EXPECT_GT(ui.waitCursorShown, 0);
}

// The view gives the button the transport's build, which plays on from where it was: the slider
// stays with the playback instead of jumping to the start mark.
TEST_F(PanelTest, MakeMixWhilePlayingLeavesTheSliderWithThePlayback) {
  Load("a.wav");
  FakeMix(4410);
  doc.SetStartMark(100);
  doc.SetTransportState(TransportState::Playing);
  form.SetRange(ctl::kPositionSlider, 0, 4410 - static_cast<int>(view.blockFrames));
  form.SetPosition(ctl::kPositionSlider, 2000);  // where the playback has come
  int builds = 0;
  panel.buildMix = [&] {
    ++builds;
    return MixBuild::Built;
  };

  ASSERT_TRUE(panel.OnCommand(ctl::kMakeMix));

  EXPECT_EQ(builds, 1);
  EXPECT_EQ(C(ctl::kPositionSlider).position, 2000);
  EXPECT_FALSE(C(ctl::kMakeMix).enabled);
}

TEST_F(PanelTest, CorrectionCommandBuildsTheMixAndShowsTheClampedStretches) {
  panel.OnFilesDropped({WriteFile("a.wav", 2, 30000), WriteFile("b.wav", 2, 30000)});
  doc.SetLevel(0, 100);  // both at full scale: every frame clips
  doc.SetLevel(1, 100);
  panel.MakeMix();
  ASSERT_NE(doc.correctionCount(), 0);
  doc.SetLevel(0, 101);
  panel.MarkMixStale(true);
  ASSERT_TRUE(doc.mixStale());

  // Enabled only for a current mix with corrections; the build comes first.
  doc.SetMixStale(false);
  ASSERT_TRUE(panel.OnCommand(cmd::kCorrections));
  EXPECT_TRUE(window.shown);
  EXPECT_EQ(window.interval, 0);
  ASSERT_FALSE(window.rows.empty());
  EXPECT_EQ(window.rows[0].position, "00:00.000000");

  panel.OnScroll(ctl::kLevel[0], ScrollCode::LineDown);
  EXPECT_FALSE(window.shown) << "hidden when the mix goes stale";
}

TEST_F(PanelTest, ShortMixGivesThePositionSliderTheRangeZeroToOne) {
  panel.OnFilesDropped({WriteFile("a.wav", 2, 1000, 100)});
  panel.MakeMix();
  ASSERT_TRUE(doc.HasMix());
  EXPECT_EQ(C(ctl::kPositionSlider).min, 0);
  EXPECT_EQ(C(ctl::kPositionSlider).max, 1);
}

TEST_F(PanelTest, ReleaseEmptiesTheStripAndTheLastReleaseClearsTheModifiedFlag) {
  Load("a.wav");
  ASSERT_TRUE(C(ctl::kLevel[0]).enabled);

  ASSERT_TRUE(panel.OnCommand(cmd::kReleaseChannel + 0));

  EXPECT_FALSE(doc.slot(0).HasData());
  EXPECT_FALSE(C(ctl::kLevel[0]).enabled);
  EXPECT_FALSE(C(ctl::kChannelCheck[0]).checked);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_FALSE(doc.mixStale());
  EXPECT_FALSE(C(ctl::kMakeMix).enabled);
}

TEST_F(PanelTest, CorrectionListCommandGoesWithTheLastChannel) {
  panel.OnFilesDropped({WriteFile("a.wav", 2, 30000), WriteFile("b.wav", 2, 30000)});
  doc.SetLevel(0, 100);  // both at full scale: every frame clips
  doc.SetLevel(1, 100);
  panel.MakeMix();
  ASSERT_NE(doc.correctionCount(), 0);
  ASSERT_TRUE(QueryCommandState(doc, cmd::kCorrections).enabled);

  ASSERT_TRUE(panel.OnCommand(cmd::kReleaseChannel + 0));
  ASSERT_TRUE(panel.OnCommand(cmd::kReleaseChannel + 1));

  EXPECT_FALSE(QueryCommandState(doc, cmd::kCorrections).enabled);
  EXPECT_EQ(doc.correctionCount(), 0) << "the corrections went with the mix";
}

TEST_F(PanelTest, MonoConversionRefreshesAndMarksTheMixStale) {
  Load("a.wav", 2);
  doc.SetMixStale(false);
  ui.answers.push_back(Answer::Yes);  // in case the conversion asks first

  ASSERT_TRUE(panel.OnCommand(cmd::kConvertToMono + 0));

  EXPECT_FALSE(doc.slot(0).IsStereo());
  EXPECT_TRUE(doc.mixStale());
  EXPECT_TRUE(doc.IsModified());
  EXPECT_TRUE(panel.ContextMenuAt(50, 50).size() == 6u) << "no mono conversion any more";
}

// ---- Context menu ----

TEST_F(PanelTest, ContextMenuEntriesFollowTheChannelAndTheTransport) {
  Load("stereo.wav", 2);
  Load("mono.wav", 1);
  using E = std::vector<int>;
  const auto commands = [&](int x, int y) {
    E ids;
    for (const ChannelMenuEntry& e : panel.ContextMenuAt(x, y)) ids.push_back(e.command);
    return ids;
  };
  const E stereo = {151, 155, 0, 145, 32813, 0, 32804};
  const E mono = {152, 156, 0, 32814, 0, 32805};

  EXPECT_EQ(commands(50, 100), stereo);
  EXPECT_EQ(commands(150, 100), mono);
  EXPECT_EQ(commands(250, 100), E{}) << "empty channel";
  EXPECT_EQ(commands(10, 100), E{}) << "on the frame's edge";
  EXPECT_EQ(commands(50, 5), E{}) << "outside every frame";

  const std::vector<ChannelMenuEntry> entries = panel.ContextMenuAt(50, 100);
  std::vector<std::string> labels;
  labels.reserve(entries.size());
  for (const ChannelMenuEntry& e : entries) labels.push_back(e.label);
  EXPECT_EQ(labels, (std::vector<std::string>{"単独で保存", "チャンネル開放", "", "モノラル変換",
                                              "切り詰め", "", "オフセット位置に移動"}));

  doc.SetTransportState(TransportState::Playing);
  EXPECT_EQ(commands(50, 100), E{32804});
  doc.SetTransportState(TransportState::Stopped);
  test::DocumentAccess::SetWorkerBusy(doc, true);
  EXPECT_EQ(commands(50, 100), E{});
  test::DocumentAccess::SetWorkerBusy(doc, false);
}

// ---- Dropped files ----

TEST_F(PanelTest, FiveDroppedFilesFillTheFourChannelsInOrderThenTheMessage) {
  // The second path is longer than the platform's old 260-character limit.
  const std::string longDir = dir.File(std::string(200, 'd'));
  ASSERT_TRUE(std::filesystem::create_directory(longDir));
  std::vector<std::string> paths = {WriteFile("1.wav"),
                                    longDir + "/" + std::string(80, 'f') + ".wav",
                                    WriteFile("3.wav"), WriteFile("4.wav"), WriteFile("5.wav")};
  test::WriteBytes(paths[1], test::MakeWav(WavSpec{}, Tone(4410, 2, 1000)));

  panel.OnFilesDropped(paths);

  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(doc.slot(i).HasData());
    EXPECT_EQ(doc.slot(i).path, paths[i]);
    EXPECT_TRUE(C(ctl::kChannelCheck[i]).checked);
    EXPECT_TRUE(C(ctl::kLevel[i]).enabled);
    EXPECT_EQ(C(ctl::kLevel[i]).position, doc.slot(i).level);
  }
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kNoEmptySlot});
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
  EXPECT_TRUE(doc.mixStale());
  EXPECT_TRUE(doc.IsModified());
  EXPECT_TRUE(C(ctl::kMakeMix).enabled);
}

TEST_F(PanelTest, FailedDropLeavesTheSlotForTheNextFile) {
  const std::string broken = dir.File("broken.wav");
  test::WriteBytes(broken, {'R', 'I', 'F', 'F'});
  const std::string good = WriteFile("good.wav");

  panel.OnFilesDropped({broken, good});

  EXPECT_EQ(doc.slot(0).path, good);
  EXPECT_FALSE(doc.slot(1).HasData());
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(PanelTest, DropIsRefusedWhileTheTransportRuns) {
  Load("a.wav");
  doc.SetTransportState(TransportState::Playing);
  panel.OnFilesDropped({WriteFile("b.wav")});
  EXPECT_FALSE(doc.slot(1).HasData());
  EXPECT_EQ(ui.beeps, 1);
}

// ---- Initialisation and refresh ----

TEST_F(PanelTest, FirstFocusIsTheFirstEnabledControlOfTheFirstLoadedChannel) {
  EXPECT_EQ(panel.InitialFocusControl(), ctl::kTuningButton) << "no strip control is enabled";
  Load("a.wav");
  Load("b.wav");
  EXPECT_EQ(panel.InitialFocusControl(), ctl::kLevel[0]);
  EXPECT_TRUE(C(ctl::kLevel[0]).enabled);
  panel.OnCommand(cmd::kReleaseChannel);
  EXPECT_EQ(panel.InitialFocusControl(), ctl::kLevel[1]);
  EXPECT_TRUE(C(ctl::kLevel[1]).enabled);
}

TEST_F(PanelTest, RefreshAdoptsTheMixFormatForRecordingUnlessATakeArrived) {
  const struct {
    int32_t rate;
    int16_t bits;
    bool take;  // the refresh after a take was stored
    uint32_t recordRate;
    uint32_t blockFrames;
    uint16_t recordBits;
  } cases[] = {
      {48000, 16, false, 48000, 2048, 16},   {96000, 8, false, 96000, 4096, 8},
      {192000, 16, false, 192000, 8192, 16}, {11025, 8, false, 11025, 512, 8},
      {32000, 16, false, 32000, 1111, 16},  // other rates keep the block length
      {96000, 8, true, 44100, 1111, 12},     {0, 0, false, 44100, 1111, 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    view.recordRate = 44100;
    view.blockFrames = view.recordBlockFrames = 1111;
    view.recordBits = 12;
    test::DocumentAccess::outHeader(doc).riff.samplesPerSec = c.rate;
    test::DocumentAccess::outHeader(doc).riff.bitsPerSample = c.bits;

    panel.OnUpdate(c.take ? DocumentNotice::Content(1, ChannelEvent::Recorded)
                          : DocumentNotice::Refresh());

    EXPECT_EQ(view.recordRate, c.recordRate);
    EXPECT_EQ(view.blockFrames, c.blockFrames);
    EXPECT_EQ(view.recordBlockFrames, c.blockFrames);
    EXPECT_EQ(view.recordBits, c.recordBits);
  }
}

TEST_F(PanelTest, RefreshWithoutMixResetsThePositionDisplay) {
  Load("a.wav");
  FakeMix(100000);
  panel.Refresh();
  EXPECT_TRUE(C(ctl::kPositionSlider).enabled);

  test::DocumentAccess::mixBuffer(doc).Reset();
  form.SetText(ctl::kPositionTime, "00:01.000");
  panel.Refresh();
  EXPECT_FALSE(C(ctl::kPositionSlider).enabled);
  EXPECT_EQ(C(ctl::kPositionTime).text, "00:00.000");
  EXPECT_EQ(C(ctl::kPositionSlider).max, 1);
}

// ---- Master volume ----

TEST_F(PanelTest, MasterVolumeSliderRunsFromLoudestAtTheTop) {
  const int id = ctl::kMasterVolume;
  panel.OnScroll(id, ScrollCode::LineUp);
  EXPECT_EQ(volume.value, 40000 + 655);
  EXPECT_EQ(C(id).position, 65535 - 40655);

  form.Drag(id, 0);
  panel.OnScroll(id, ScrollCode::EndScroll);
  EXPECT_EQ(volume.value, 65535);

  panel.OnScroll(id, ScrollCode::LineUp);
  EXPECT_EQ(volume.value, 65535) << "not beyond the loudest";
  EXPECT_EQ(C(id).position, 0);

  form.Drag(id, 65535);
  panel.OnScroll(id, ScrollCode::ThumbTrack);
  EXPECT_EQ(volume.value, 0);
  panel.OnScroll(id, ScrollCode::LineDown);
  EXPECT_EQ(volume.value, 0);
}

// A hundredth of a small mixer range rounds to 0; the arrow keys still move the volume.
TEST(MasterVolumePanel, ArrowKeysMoveTheVolumeOnSmallRanges) {
  for (const int32_t max : {31, 87}) {
    SCOPED_TRACE(max);
    FakeUi ui;
    FakeForm form;
    FakeTimers timers;
    ViewSettings view;
    CVelmoraDoc doc(ui);
    CorrectionList list(form);
    FakeVolume volume(0, max, 10);
    MixerPanel panel(ViewContext{doc, ui, form, timers, view}, list, &volume);
    panel.Initialise();
    panel.OnScroll(ctl::kMasterVolume, ScrollCode::LineUp);
    EXPECT_EQ(volume.value, 11);
    EXPECT_EQ(form.At(ctl::kMasterVolume).position, max - 11);
    panel.OnScroll(ctl::kMasterVolume, ScrollCode::LineDown);
    panel.OnScroll(ctl::kMasterVolume, ScrollCode::LineDown);
    EXPECT_EQ(volume.value, 9);
  }
}

TEST(MasterVolumePanel, RangeNotStartingAtZeroMirrorsInsideTheRange) {
  FakeUi ui;
  FakeForm form;
  FakeTimers timers;
  ViewSettings view;
  CVelmoraDoc doc(ui);
  CorrectionList list(form);
  FakeVolume volume(10, 110, 30);
  MixerPanel panel(ViewContext{doc, ui, form, timers, view}, list, &volume);
  panel.Initialise();
  EXPECT_EQ(form.At(ctl::kMasterVolume).position, 90);
  form.Drag(ctl::kMasterVolume, 10);
  panel.OnScroll(ctl::kMasterVolume, ScrollCode::EndScroll);
  EXPECT_EQ(volume.value, 110);

  FakeVolume none(0, 0, 0);
  MixerPanel silent(ViewContext{doc, ui, form, timers, view}, list, &none);
  silent.Initialise();
  EXPECT_FALSE(form.At(ctl::kMasterVolume).enabled) << "no mixer control";
}

}  // namespace
}  // namespace velmora
