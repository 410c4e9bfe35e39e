// The metronome dialog, its beat display and the tuning tone's controls as a user works them:
// the real windows in-process under an X display, with the virtual sound system (no sound here;
// the timing through the real one is MetronomeTimingTest).

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/slider.h>
#include <wx/textctrl.h>
#include <wx/wx.h>

#include <string>
#include <vector>

#include "GuiTestMain.h"
#include "MetronomeDlg.h"
#include "MetronomeWindows.h"
#include "UpDownControl.h"
#include "audio/VirtualAudioBackend.h"
#include "document/VelmoraDoc.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

std::string Text(wxWindow* w) {
  if (auto* edit = dynamic_cast<wxTextCtrl*>(w)) return edit->GetValue().utf8_string();
  return w->GetLabel().utf8_string();
}

// A key as the dialog's key hook receives it before the control with the focus.
void PressKey(wxWindow& dialog, int key) {
  wxKeyEvent press(wxEVT_CHAR_HOOK);
  press.m_keyCode = key;
  press.SetEventObject(&dialog);
  dialog.ProcessWindowEvent(press);
  test::Pump();
}

// The focus leaves `edit` (for another control, or another window).
void Leave(wxWindow* edit) {
  wxFocusEvent leave(wxEVT_KILL_FOCUS, edit->GetId());
  leave.SetEventObject(edit);
  edit->ProcessWindowEvent(leave);
  test::Pump();
}

class MetronomeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::WxReady()) GTEST_SKIP() << "no X display (DISPLAY is unset)";
    ASSERT_TRUE(test::StartProgram(std::make_unique<VirtualAudioBackend>(), dir_, ui_));
    view_ = TheApp().view();
    dialog_ = view_->metronome();
    ASSERT_NE(dialog_, nullptr);
  }
  void TearDown() override {
    if (test::WxReady()) test::StopProgram();
  }

  wxWindow* Control(int id) const { return dialog_->FindWindow(id); }
  wxWindow* FormControl(int id) const { return view_->form()->FindWindow(id); }

  test::TempDir dir_;
  test::FakeUi* ui_ = nullptr;
  CVelmoraView* view_ = nullptr;
  CMetronomeDlg* dialog_ = nullptr;
};

TEST_F(MetronomeWindowTest, ShowsAtTheTopRightAndCountsTheBeatsInItsDisplay) {
  EXPECT_FALSE(dialog_->IsShown()) << "created hidden";
  test::MenuCommand(cmd::kMetronome);
  test::Pump();
  ASSERT_TRUE(dialog_->IsShown());
  EXPECT_EQ(dialog_->GetTitle().utf8_string(), "メトロノーム");
  const wxRect work = wxGetClientDisplayRect();
  EXPECT_EQ(dialog_->GetPosition(), wxPoint(work.GetRight() + 1 - dialog_->GetSize().x, work.y));
  EXPECT_EQ(Text(Control(metctl::kStartStop)), "開始");
  EXPECT_EQ(Text(Control(metctl::kTempoEdit)), "120");
  EXPECT_EQ(Text(Control(metctl::kBeatsEdit)), "4");
  EXPECT_EQ(dynamic_cast<wxSlider*>(Control(metctl::kVolume))->GetValue(), 20);

  // The default volume is silent: the display and the beat count still run.
  test::ClickButton(Control(metctl::kStartStop));
  BeatDisplayWindow* display = dialog_->beatDisplay();
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(Text(Control(metctl::kStartStop)), "停止");
  EXPECT_FALSE(Control(metctl::kTempoEdit)->IsEnabled());
  EXPECT_FALSE(Control(metctl::kVolume)->IsEnabled());
  EXPECT_TRUE(Control(metctl::kDisplaySize)->IsEnabled());
  ASSERT_TRUE(display->IsShown());
  EXPECT_EQ(display->GetPosition(), work.GetTopLeft());
  const int side = dialog_->metronome().displayBase;
  EXPECT_EQ(display->GetSize(), wxSize(side, side));
  EXPECT_EQ(display->text(), "1");
  EXPECT_EQ(display->background(), wxColour(255, 255, 63));
  test::SaveScreenshot(*dialog_, "metronome-dialog-running");
  test::SaveScreenshot(*display, "beat-display");

  // The tick of timer::kMetronome gives the next beat half a second later.
  ASSERT_TRUE(test::RunUntil([&] { return display->text() == "2"; }, 3000ms));
  EXPECT_EQ(display->background(), wxColour(255, 255, 127));
  test::SaveScreenshot(*display, "beat-display-later");
  test::SaveScreen("metronome-screen");

  // Closing stops it and hides both windows; shown again, it offers to start.
  dialog_->Close();
  test::Pump();
  EXPECT_FALSE(dialog_->IsShown());
  EXPECT_FALSE(display->IsShown());
  EXPECT_FALSE(dialog_->metronome().running);
  test::MenuCommand(cmd::kMetronome);
  EXPECT_EQ(Text(Control(metctl::kStartStop)), "開始");
  test::SaveScreenshot(*dialog_, "metronome-dialog-idle");
  EXPECT_TRUE(ui_->messages.empty()) << ::testing::PrintToString(ui_->Texts());
}

TEST_F(MetronomeWindowTest, EscapeAndEnterCloseItAndStopIt) {
  struct Case {
    const char* name;
    int key;
    bool running;
  };
  for (const Case& c : {Case{"Escape", WXK_ESCAPE, false}, Case{"Enter", WXK_RETURN, true},
                        Case{"Enter on the keypad", WXK_NUMPAD_ENTER, false}}) {
    SCOPED_TRACE(c.name);
    test::MenuCommand(cmd::kMetronome);
    test::Pump();
    ASSERT_TRUE(dialog_->IsShown());
    if (c.running) {
      test::ClickButton(Control(metctl::kStartStop));
      // The toolkit maps the beat display a moment later; hidden before that, it comes back.
      test::RunUntil([] { return false; }, 200ms);
    }
    Control(metctl::kTempoEdit)->SetFocus();
    PressKey(*dialog_, c.key);
    EXPECT_FALSE(dialog_->IsShown());
    EXPECT_FALSE(dialog_->metronome().running);
    EXPECT_FALSE(dialog_->beatDisplay()->IsShown());
    EXPECT_EQ(Text(Control(metctl::kStartStop)), "開始");
  }
  // Other keys go to the controls, and Enter on the start button presses that button.
  test::MenuCommand(cmd::kMetronome);
  PressKey(*dialog_, 'A');
  EXPECT_TRUE(dialog_->IsShown());
  Control(metctl::kStartStop)->SetFocus();
  test::Pump();
  ASSERT_EQ(wxWindow::FindFocus(), Control(metctl::kStartStop));
  PressKey(*dialog_, WXK_RETURN);
  EXPECT_TRUE(dialog_->IsShown());
  EXPECT_TRUE(ui_->messages.empty()) << ::testing::PrintToString(ui_->Texts());
}

TEST_F(MetronomeWindowTest, TypingSaysNothingLeavingTheFieldChecksIt) {
  test::MenuCommand(cmd::kMetronome);
  auto* tempo = dynamic_cast<wxTextCtrl*>(Control(metctl::kTempoEdit));
  auto* beats = dynamic_cast<wxTextCtrl*>(Control(metctl::kBeatsEdit));
  auto* arrows = dynamic_cast<UpDownControl*>(Control(metctl::kTempoSpin));
  ASSERT_NE(arrows, nullptr);
  // Clearing the field to type a new tempo, digit by digit: the up-down follows each number.
  tempo->SetValue("");
  test::Pump();
  EXPECT_TRUE(ui_->messages.empty()) << ::testing::PrintToString(ui_->Texts());
  EXPECT_EQ(Text(tempo), "");
  for (const char* typed : {"9", "97"}) {
    tempo->SetValue(typed);
    test::Pump();
    EXPECT_EQ(std::to_string(arrows->GetValue()), typed);
  }
  Leave(tempo);
  EXPECT_TRUE(ui_->messages.empty()) << ::testing::PrintToString(ui_->Texts());
  EXPECT_EQ(dialog_->metronome().tempo, 97);

  struct Case {
    wxTextCtrl* field;
    const char* typed;
    const char* message;
    const char* shown;
  };
  for (const Case& c : {Case{tempo, "", "整数を入力してください。", "97"},
                        Case{tempo, "500", "1 から 300 までの整数を入力してください。", "300"},
                        Case{beats, "13", "1 から 12 までの整数を入力してください。", "12"}}) {
    SCOPED_TRACE(c.typed);
    ui_->messages.clear();
    c.field->SetValue(c.typed);
    test::Pump();
    EXPECT_TRUE(ui_->messages.empty()) << "while typing";
    Leave(c.field);
    EXPECT_EQ(ui_->Texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(Text(c.field), c.shown);
  }
}

TEST_F(MetronomeWindowTest, TheArrowsStopAtTheEnds) {
  test::MenuCommand(cmd::kMetronome);
  auto* tempo = dynamic_cast<wxTextCtrl*>(Control(metctl::kTempoEdit));
  tempo->SetValue("300");
  Leave(tempo);
  EXPECT_EQ(Text(tempo), "300");
  test::Arrow(Control(metctl::kTempoSpin), +1);
  EXPECT_EQ(Text(tempo), "300");
  for (int i = 0; i < 3; ++i) test::Arrow(Control(metctl::kTempoSpin), -1);
  EXPECT_EQ(Text(tempo), "297");

  // The chime box follows the program's own state.
  auto* chime = dynamic_cast<wxCheckBox*>(Control(metctl::kChime));
  chime->SetValue(true);
  wxCommandEvent click(wxEVT_CHECKBOX, metctl::kChime);
  click.SetEventObject(chime);
  chime->ProcessWindowEvent(click);
  EXPECT_TRUE(chime->GetValue());
  EXPECT_EQ(dialog_->metronome().chime, 1);
}

TEST_F(MetronomeWindowTest, TheTuningButtonAndItsArrows) {
  wxWindow* button = FormControl(ctl::kTuningButton);
  wxWindow* arrows = FormControl(ctl::kTuningSpin);
  ASSERT_EQ(Text(button), "440Hz再生");
  test::Arrow(arrows, +1);
  EXPECT_EQ(Text(button), "441Hz再生");
  test::Arrow(arrows, -1);
  test::Arrow(arrows, -1);
  EXPECT_EQ(Text(button), "439Hz再生");

  test::ClickButton(button);
  EXPECT_EQ(view_->doc().transportState(), TransportState::TuningTone);
  EXPECT_EQ(Text(button), "439Hz停止");
  EXPECT_FALSE(arrows->IsEnabled());
  test::SaveScreenshot(*view_->form(), "tuning-tone-sounding");
  test::ClickButton(button);
  EXPECT_EQ(view_->doc().transportState(), TransportState::Stopped);
  EXPECT_EQ(Text(button), "439Hz再生");
  EXPECT_TRUE(arrows->IsEnabled());
  EXPECT_EQ(view_->settings().tuningHz, 439);
  EXPECT_TRUE(ui_->messages.empty()) << ::testing::PrintToString(ui_->Texts());
}

}  // namespace
}  // namespace velmora
