// The recording's windows in the real program under X: the settings dialog opened by its
// command (labels, values, the refused and the accepted seconds, what OK applies, its layout),
// and the countdown's big number over the view while a self-timer runs.

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/slider.h>
#include <wx/textctrl.h>
#include <wx/wx.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "DialogLayout.h"
#include "GuiTestMain.h"
#include "MainFrame.h"
#include "ShellFixture.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "ViewRecording.h"
#include "document/VelmoraDoc.h"
#include "recorder/RecordSetup.h"
#include "recorder/Recorder.h"
#include "recorder/RecoveryFiles.h"
#include "recorder/RecoveryWriter.h"
#include "seams/CommandIds.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

using test::Click;
using test::WithModalDialog;

using test::Find;
using test::Pump;
using test::Send;
using test::U;

class RecordWindowTest : public test::ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    view_ = TheApp().view();
  }
  void AdjustServices(ShellServices& /*services*/) override { ui_->answers = startAnswers_; }

  std::deque<Answer> startAnswers_;  // the questions of the start-up
  CVelmoraView* view_ = nullptr;
};

TEST_F(RecordWindowTest, SettingsDialogRefusesBadSecondsAndAppliesTheChoices) {
  ViewSettings& settings = view_->settings();
  settings.maxInputFormats = 0xFFFFF;
  settings.recordRate = 44100;
  settings.recordBits = 16;
  settings.recordChannels = 2;
  WithModalDialog(
      [&] { Send(cmd::kRecordSetup); },
      [&](wxDialog& dialog) {
        EXPECT_EQ(dialog.GetTitle(), U("録音設定"));
        auto* rate = Find<wxChoice>(dialog, recctl::kRate);
        ASSERT_NE(rate, nullptr);
        EXPECT_EQ(rate->GetCount(), 6u);
        EXPECT_EQ(rate->GetStringSelection(), "44100");
        EXPECT_TRUE(Find<wxRadioButton>(dialog, recctl::k16Bit)->GetValue());
        EXPECT_TRUE(Find<wxRadioButton>(dialog, recctl::kStereo)->GetValue());
        EXPECT_TRUE(Find<wxCheckBox>(dialog, recctl::kSimultaneous)->GetValue());
        EXPECT_EQ(Find<wxCheckBox>(dialog, recctl::kBeeps)->GetLabel(), U("3秒前から音で通知"));
        auto* seconds = Find<wxTextCtrl>(dialog, recctl::kSeconds);
        EXPECT_EQ(seconds->GetValue(), "0");
        auto* level = Find<wxSlider>(dialog, recctl::kAutoLevel);
        EXPECT_EQ(level->GetMax(), 50);
        test::ExpectNothingOverlapsOrIsClipped(dialog);
        test::ExpectJapaneseFace(dialog);
        test::SaveScreenshot(dialog, "record-setup");

        seconds->SetValue("3601");
        Click(*Find<wxButton>(dialog, wxID_OK));
        EXPECT_TRUE(dialog.IsModal()) << "refused: the dialog stays open";
        EXPECT_EQ(ui_->Texts(),
                  std::vector<std::string>{"0 から 3600 までの整数を入力してください。"});
        EXPECT_EQ(wxWindow::FindFocus(), seconds);

        seconds->SetValue("5");
        rate->SetSelection(4);
        Find<wxRadioButton>(dialog, recctl::kMono)->SetValue(true);
        Find<wxCheckBox>(dialog, recctl::kBeeps)->SetValue(true);
        level->SetValue(10);
        Click(*Find<wxButton>(dialog, wxID_OK));
        EXPECT_FALSE(dialog.IsModal());
      });
  const RecordOptions& options = view_->recording()->recorder().options;
  EXPECT_EQ(settings.recordRate, 22050u);
  EXPECT_EQ(settings.blockFrames, 1024u);
  EXPECT_EQ(settings.recordChannels, 1);
  EXPECT_EQ(options.selfTimerSeconds, 5);
  EXPECT_TRUE(options.beepBeforeStart);
  EXPECT_EQ(options.autoStartLevel, 10);
}

TEST_F(RecordWindowTest, CountdownShowsItsNumberOverTheViewUntilStop) {
  Recorder& recorder = view_->recording()->recorder();
  recorder.options.selfTimerSeconds = 5;
  Send(cmd::kRecord);
  if (view_->doc().transportState() != TransportState::Recording) {
    GTEST_SKIP() << "no input device: " << ::testing::PrintToString(ui_->Texts());
  }
  CountdownWnd* countdown = view_->recording()->countdown();
  ASSERT_NE(countdown, nullptr);
  Pump();
  EXPECT_TRUE(countdown->IsShown());
  EXPECT_EQ(countdown->number(), 5);
  const wxRect over = view_->form()->GetScreenRect();
  const wxRect at = countdown->GetScreenRect();
  EXPECT_NEAR(at.x + at.width / 2, over.x + over.width / 2, 2);
  EXPECT_NEAR(at.y + at.height / 2, over.y + over.height / 2, 2);
  EXPECT_GT(at.height, 150) << "the number is 150 pixels high, with its margin";
  test::SaveScreenshot(*TheApp().frame(), "countdown-frame");
  test::SaveScreenshot(*countdown, "countdown");
  Send(cmd::kStop);
  EXPECT_FALSE(countdown->IsShown());
  EXPECT_EQ(view_->doc().transportState(), TransportState::Stopped);
  EXPECT_FALSE(view_->doc().slot(0).HasData());
}

// A take left by a program that was killed: its recovery file lies in the folder at start-up.
class LeftTakeWindowTest : public RecordWindowTest {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_STATE_HOME");
    oldState_ = old != nullptr ? old : "";
    hadState_ = old != nullptr;
    setenv("XDG_STATE_HOME", state_.File("state").c_str(), 1);
    {
      // The writer goes without removing its file, as a killed program leaves it.
      RecoveryWriter writer;
      ASSERT_TRUE(writer.Start(RecoveryDirectory(), 44100, 16, 2));
      writer.Append(take_.data(), take_.size());
      writer.Finish();
      path_ = writer.path();
    }
    startAnswers_ = {Answer::Yes};
    RecordWindowTest::SetUp();
  }
  void TearDown() override {
    RecordWindowTest::TearDown();
    if (hadState_) {
      setenv("XDG_STATE_HOME", oldState_.c_str(), 1);
    } else {
      unsetenv("XDG_STATE_HOME");
    }
  }

  test::TempDir state_;
  std::string oldState_;
  bool hadState_ = false;
  std::vector<uint8_t> take_ = std::vector<uint8_t>(4410 * 4, 7);
  std::string path_;
};

TEST_F(LeftTakeWindowTest, IsOfferedOnceTheWindowShowsAndLoadedAsAnUnsavedTake) {
  ASSERT_EQ(ui_->Texts(), std::vector<std::string>{msg::kRecoveryOffer});
  const ChannelSlot& slot = view_->doc().slot(0);
  ASSERT_TRUE(slot.HasData());
  EXPECT_EQ(std::vector<uint8_t>(slot.data.data(), slot.data.data() + slot.data.size()), take_);
  EXPECT_TRUE(slot.path.empty()) << "closing asks to save it";
  EXPECT_TRUE(wxFileExists(wxString::FromUTF8(path_))) << "kept until the take is saved or let go";
  EXPECT_TRUE(FindUnheldTakes(RecoveryDirectory()).empty()) << "this program holds it now";
}

}  // namespace
}  // namespace velmora
