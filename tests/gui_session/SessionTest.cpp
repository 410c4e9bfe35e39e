// A short session with the program's own classes in-process and their real sound system, as a
// user works it: two files opened, the mix played to its end, a second recorded, the metronome
// run, then Exit. scripts/test runs it in a tree built with AddressSanitizer and
// UndefinedBehaviorSanitizer, where any report ends the process and fails the run.
//
// Needs an X display (scripts/test starts Xvfb) and the private sound server (VELMORA_TEST_PULSE,
// PULSE_SERVER); skips without them.

#include <gtest/gtest.h>
#include <wx/slider.h>
#include <wx/wx.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "GuiTestMain.h"
#include "MetronomeDlg.h"
#include "ShellFixture.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "ViewRecording.h"
#include "document/VelmoraDoc.h"
#include "metronome/Metronome.h"
#include "recorder/Recorder.h"
#include "seams/CommandIds.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return test::RunUntil(done, limit, 5ms);
}

void RunFor(std::chrono::milliseconds time) {
  RunUntil([] { return false; }, time);
}

void Click(wxWindow* control, wxEventType type) {
  wxCommandEvent click(type, control->GetId());
  click.SetEventObject(control);
  control->ProcessWindowEvent(click);
}

TEST(Session, OpensPlaysRecordsRunsTheMetronomeAndQuits) {
  if (!test::WxReady()) GTEST_SKIP() << "no X display";
  if (std::getenv("VELMORA_TEST_PULSE") == nullptr) GTEST_SKIP() << "no private sound server";
  test::TempDir dir;
  test::FakeUi* ui = nullptr;
  ASSERT_TRUE(TheApp().StartShell(test::FakeServices(dir, ui, 65535), {}));
  CVelmoraView* view = TheApp().view();
  ASSERT_NE(view, nullptr);
  CVelmoraDoc& doc = view->doc();
  // The start-up survey of the devices runs first.
  ASSERT_TRUE(RunUntil([&] { return view->settings().maxInputFormats != 0; }, 20s));

  ui->openChoices = {test::WriteWav(dir, "a.wav", test::WavSpec{}, test::StereoNoise(44100, 7)),
                     test::WriteWav(dir, "b.wav", test::WavSpec{}, test::StereoNoise(22050, 11))};
  test::Send(cmd::kOpen);
  test::Send(cmd::kOpen);
  ASSERT_TRUE(doc.slot(0).HasData());
  ASSERT_TRUE(doc.slot(1).HasData());

  test::Send(cmd::kPlay);  // makes the mix, then plays it to its end
  ASSERT_EQ(doc.transportState(), TransportState::Playing) << ::testing::PrintToString(ui->Texts());
  ASSERT_TRUE(RunUntil([&] { return doc.transportState() == TransportState::Stopped; }, 20s));

  test::Send(cmd::kRecord);
  ASSERT_EQ(doc.transportState(), TransportState::Recording);
  const Recorder& recorder = view->recording()->recorder();
  // The sound server's input may take a moment to start delivering.
  ASSERT_TRUE(RunUntil([&] { return recorder.recordedFrames() >= 44100; }, 20s));
  test::Send(cmd::kStop);
  ASSERT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_TRUE(doc.slot(2).HasData()) << "the take is in the first free channel";

  test::Send(cmd::kMetronome);
  CMetronomeDlg* metronome = view->metronome();
  ASSERT_NE(metronome, nullptr);
  auto* volume = dynamic_cast<wxSlider*>(metronome->FindWindow(metctl::kVolume));
  ASSERT_NE(volume, nullptr);
  volume->SetValue(0);  // the loudest: the clicks sound
  Click(volume, wxEVT_SLIDER);
  Click(metronome->FindWindow(metctl::kStartStop), wxEVT_BUTTON);
  ASSERT_TRUE(metronome->metronome().Sounding()) << ::testing::PrintToString(ui->Texts());
  RunFor(1200ms);
  metronome->Close();
  test::Pump();
  EXPECT_FALSE(metronome->metronome().running);

  // Exit asks about the unsaved take and the document; both are answered No.
  test::Send(cmd::kExit);
  test::Pump();
  EXPECT_EQ(TheApp().frame(), nullptr);
  EXPECT_EQ(ui->messages.size(), 2u) << ::testing::PrintToString(ui->Texts());
  TheApp().DeletePendingWindows();
  TheApp().FinishShell();  // the services, the fake user interface included, go with it
}

}  // namespace
}  // namespace velmora
