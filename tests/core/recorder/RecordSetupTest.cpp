// The recording settings dialog's rules and the command around it, with a scripted window.

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "dialogs/DialogFields.h"
#include "document/VelmoraDoc.h"
#include "recorder/RecordSetup.h"
#include "recorder/Recorder.h"
#include "support/DocumentFixture.h"
#include "support/FakeForm.h"
#include "support/FakeTimers.h"
#include "support/FakeUi.h"
#include "view/ViewSettings.h"

namespace velmora {
namespace {

using test::FakeUi;

TEST(RecordSetupDialog, SpinStepsStayWithinZeroTo3600) {
  struct Case {
    int32_t seconds;
    int delta;
    bool taken;
    int32_t after;
  };
  for (const Case& c : {Case{10, 5, true, 15}, Case{0, -1, false, 0}, Case{3600, 1, false, 3600},
                        Case{3, -10, false, 0}, Case{3599, 1, true, 3600}}) {
    RecordSetup dialog;
    dialog.seconds = c.seconds;
    EXPECT_EQ(dialog.OnSpinDelta(c.delta), c.taken) << c.seconds << " " << c.delta;
    EXPECT_EQ(dialog.seconds, c.after);
  }
}

TEST(RecordSetupDialog, OkReadsTheSecondsAsAnIntegerFrom0To3600) {
  struct Case {
    const char* text;
    std::optional<std::string> message;
    int32_t seconds;
  };
  const std::string range = "0 から 3600 までの整数を入力してください。";
  for (const Case& c : {Case{" 12 ", std::nullopt, 12}, Case{"3600", std::nullopt, 3600},
                        Case{"abc", std::string(msg::kNotAnInteger), 7},
                        Case{"1.5", std::string(msg::kNotAnInteger), 7}, Case{"3601", range, 7},
                        Case{"-1", range, 7}}) {
    RecordSetup dialog;
    dialog.seconds = 7;
    EXPECT_EQ(dialog.Accept(c.text), c.message) << c.text;
    EXPECT_EQ(dialog.seconds, c.seconds) << c.text;
  }
}

TEST(RecordSetupDialog, TrackBarMovesByLinesAndTakesTheEndOfTracking) {
  RecordSetup dialog;
  dialog.OnAutoLevelScroll(ScrollCode::LineUp, 0);
  EXPECT_EQ(dialog.autoLevel, 0);
  dialog.OnAutoLevelScroll(ScrollCode::LineDown, 0);
  EXPECT_EQ(dialog.autoLevel, 1);
  dialog.OnAutoLevelScroll(ScrollCode::ThumbTrack, 30);
  EXPECT_EQ(dialog.autoLevel, 1);
  dialog.OnAutoLevelScroll(ScrollCode::EndScroll, 30);
  EXPECT_EQ(dialog.autoLevel, 30);
  dialog.autoLevel = 50;
  dialog.OnAutoLevelScroll(ScrollCode::LineDown, 0);
  EXPECT_EQ(dialog.autoLevel, 50);
}

// Runs the dialog with scripted choices: each run applies the next edit and answers OK, or
// Cancel when none is left.
class ScriptedWindow : public RecordSetupWindow {
 public:
  bool Run(RecordSetup& dialog) override {
    shown.push_back(dialog);
    if (edits.empty()) return false;
    edits.front()(dialog);
    edits.pop_front();
    return true;
  }
  std::deque<std::function<void(RecordSetup&)>> edits;
  std::vector<RecordSetup> shown;
};

class RecordSetupCommandTest : public ::testing::Test {
 protected:
  FakeUi ui;
  test::FakeForm form;
  test::FakeTimers timers;
  CVelmoraDoc doc{ui};
  ViewSettings view;
  RecordOptions options;
  ScriptedWindow window;
  RecordSetupCommand command{ViewContext{doc, ui, form, timers, view}, options, window};
};

TEST_F(RecordSetupCommandTest, OkAppliesEveryChoice) {
  view.maxInputFormats = 0xFFFFF;
  window.edits.push_back([](RecordSetup& d) {
    d.rateIndex = 4;
    d.bitsChoice = 1;
    d.channelsChoice = 1;
    d.simultaneous = false;
    d.seconds = 10;
    d.beeps = true;
    d.autoLevel = 20;
  });
  command.Run();
  ASSERT_EQ(window.shown.size(), 1u);
  EXPECT_EQ(window.shown[0].rateIndex, 3);
  EXPECT_EQ(view.recordRate, 22050u);
  EXPECT_EQ(view.blockFrames, 1024u);
  EXPECT_EQ(view.recordBlockFrames, 1024u);
  EXPECT_EQ(view.recordBits, 8);
  EXPECT_EQ(view.recordChannels, 1);
  EXPECT_FALSE(options.simultaneousPlayback);
  EXPECT_EQ(options.selfTimerSeconds, 10);
  EXPECT_TRUE(options.beepBeforeStart);
  EXPECT_EQ(options.autoStartLevel, 20);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RecordSetupCommandTest, ARateOutsideTheTableCannotBeChanged) {
  view.recordRate = 32000;
  command.Run();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kCannotChangeSettings});
  EXPECT_TRUE(window.shown.empty());
}

TEST_F(RecordSetupCommandTest, AnotherRateFamilyThanTheLoadedChannelsReopensTheDialog) {
  view.maxInputFormats = 0xFFFFF;
  test::PutSilence(doc, 0, {44100, 2, 16}, 100);
  window.edits.push_back([](RecordSetup& d) {
    d.rateIndex = 2;  // 48000
    d.seconds = 99;
  });
  command.Run();  // then Cancel
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kRecordRateMismatch});
  ASSERT_EQ(window.shown.size(), 2u);
  EXPECT_EQ(window.shown[1].rateIndex, 3) << "the dialog opens again with the old settings";
  EXPECT_EQ(window.shown[1].seconds, 0);
  EXPECT_EQ(view.recordRate, 44100u);
  EXPECT_EQ(options.selfTimerSeconds, 0);
}

TEST_F(RecordSetupCommandTest, AFormatTheDevicesDoNotListAsksFirst) {
  struct Case {
    const char* name;
    uint32_t mask;
    int rateIndex;
    Answer answer;
    uint32_t rate;  // afterwards
    size_t runs;
  };
  for (const Case& c : {Case{"listed: no question", 0x800, 3, Answer::Yes, 44100, 1},
                        Case{"not listed, Yes applies", 0x400, 3, Answer::Yes, 44100, 1},
                        Case{"not listed, No reopens", 0x400, 5, Answer::No, 44100, 2},
                        Case{"192000 is never listed", 0xFFFFF, 0, Answer::Yes, 192000, 1}}) {
    SCOPED_TRACE(c.name);
    ui.messages.clear();
    ui.answers = {c.answer};
    view = ViewSettings{};
    view.maxInputFormats = c.mask;
    window.shown.clear();
    window.edits = {[&](RecordSetup& d) { d.rateIndex = c.rateIndex; }};
    command.Run();
    EXPECT_EQ(view.recordRate, c.rate);
    EXPECT_EQ(window.shown.size(), c.runs);
    const bool asked = c.mask != 0x800;
    ASSERT_EQ(ui.messages.size(), asked ? 1u : 0u);
    if (asked) {
      EXPECT_EQ(ui.messages[0].text, msg::kUnsupportedRecordFormat);
      EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNo);
      EXPECT_EQ(ui.messages[0].icon, MessageIcon::Warning);
    }
  }
}

}  // namespace
}  // namespace velmora
