// The metronome and the tuning tone end to end: the program in-process with the real sound
// system, into the private PulseAudio server's null sink, while parec records the sink's monitor.
//
// Metronome: at 97, 120, 140 and 300 beats per minute, with the window kept busy (the
// user-interface thread blocked for 250 ms every 700 ms), every click onset in the monitor lies
// within 1 ms of the tempo's true grid (k x 60 / tempo s after the first click); none is missing
// and the error does not drift. The figures are printed. Each tempo runs
// VELMORA_METRONOME_SECONDS seconds (10 unless set; scripts/bench-metronome runs 60).
//
// Tuning tone: two loops of the tone reach the sink as the buffer's bytes, in order.
//
// Needs an X display and the private sound server (VELMORA_TEST_PULSE); skips without them.

#include <gtest/gtest.h>
#include <wx/slider.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/wx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "GuiTestMain.h"
#include "MetronomeDlg.h"
#include "MetronomeWindows.h"
#include "document/VelmoraDoc.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "transport/TuningTone.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

constexpr double kRecordRate = 44100;

int SecondsPerTempo() {
  const char* text = std::getenv("VELMORA_METRONOME_SECONDS");
  const int seconds = text != nullptr ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 10;
}

std::vector<int16_t> Samples16(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return samples;
}

// Sample indices where a click starts: the first sample above a tenth of full scale after at
// least 20 ms below it.
std::vector<size_t> ClickOnsets(const std::vector<int16_t>& samples) {
  constexpr int kThreshold = 3277;
  const auto quietBefore = static_cast<size_t>(0.020 * kRecordRate);
  std::vector<size_t> onsets;
  size_t quiet = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (std::abs(samples[i]) < kThreshold) {
      ++quiet;
      continue;
    }
    if (quiet >= quietBefore) onsets.push_back(i);
    quiet = 0;
  }
  return onsets;
}

// Blocks the user-interface thread for a while at a steady pace: a window kept busy.
class BusyWindow : public wxTimer {
 public:
  void Notify() override {
    std::this_thread::sleep_for(250ms);
    ++stalls;
  }
  int stalls = 0;
};

struct Timing {
  size_t clicks = 0;
  double maxErrorMs = 0;
  double meanErrorMs = 0;
  double driftMsPerMinute = 0;  // the fitted line's slope
  double driftMs = 0;           // the fitted line from the first click to the last
  size_t gapsOverOneInterval = 0;
};

// Onsets against the true grid of `tempo`, counted from the first.
Timing Measure(const std::vector<size_t>& onsets, int tempo) {
  Timing t;
  t.clicks = onsets.size();
  if (onsets.size() < 2) return t;
  const double samplesPerMs = kRecordRate / 1000;
  const double intervalMs = 60000.0 / tempo;
  double sumK = 0, sumE = 0, sumKK = 0, sumKE = 0;
  for (size_t k = 0; k < onsets.size(); ++k) {
    const double error = static_cast<double>(onsets[k] - onsets[0]) / samplesPerMs -
                         static_cast<double>(k) * intervalMs;
    t.maxErrorMs = std::max(t.maxErrorMs, std::abs(error));
    sumK += static_cast<double>(k);
    sumE += error;
    sumKK += static_cast<double>(k) * static_cast<double>(k);
    sumKE += static_cast<double>(k) * error;
    if (k > 0 && static_cast<double>(onsets[k] - onsets[k - 1]) > 1.5 * intervalMs * samplesPerMs) {
      ++t.gapsOverOneInterval;
    }
  }
  const double n = static_cast<double>(onsets.size());
  t.meanErrorMs = sumE / n;
  const double slopePerClick = (n * sumKE - sumK * sumE) / (n * sumKK - sumK * sumK);
  t.driftMsPerMinute = slopePerClick * tempo;
  t.driftMs = slopePerClick * (n - 1);
  return t;
}

class MetronomeTimingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::WxReady()) GTEST_SKIP() << "no X display";
    if (std::getenv("VELMORA_TEST_PULSE") == nullptr) GTEST_SKIP() << "no private sound server";
    ASSERT_TRUE(test::StartProgram(nullptr, dir_, ui_));  // the real sound system
    view_ = TheApp().view();
    dialog_ = view_->metronome();
    ASSERT_NE(dialog_, nullptr);
  }
  void TearDown() override {
    if (view_ != nullptr) test::StopProgram();
  }

  wxWindow* Control(int id) const { return dialog_->FindWindow(id); }

  // Starts parec and waits until it writes.
  void StartRecording(std::unique_ptr<test::MonitorRecording>& recording, const char* name,
                      const char* format) {
    recording = std::make_unique<test::MonitorRecording>(dir_.File(name), format);
    ASSERT_TRUE(recording->started());
    ASSERT_TRUE(test::RunUntil([&] { return recording->BytesSoFar() > 0; }, 10s))
        << "parec records nothing";
  }

  test::TempDir dir_;
  test::FakeUi* ui_ = nullptr;
  CVelmoraView* view_ = nullptr;
  CMetronomeDlg* dialog_ = nullptr;
};

TEST_F(MetronomeTimingTest, ClicksKeepTimeInTheSinkWhileTheWindowIsBusy) {
  const int seconds = SecondsPerTempo();
  test::MenuCommand(cmd::kMetronome);
  auto* volume = dynamic_cast<wxSlider*>(Control(metctl::kVolume));
  volume->SetValue(0);
  wxCommandEvent moved(wxEVT_SLIDER, metctl::kVolume);
  moved.SetEventObject(volume);
  volume->ProcessWindowEvent(moved);

  for (const int tempo : {97, 120, 140, 300}) {
    SCOPED_TRACE(tempo);
    dynamic_cast<wxTextCtrl*>(Control(metctl::kTempoEdit))->SetValue(std::to_string(tempo));
    test::Pump();
    ASSERT_EQ(dialog_->metronome().tempo, tempo);

    std::unique_ptr<test::MonitorRecording> recording;
    StartRecording(recording, "metronome.raw", "s16le");
    BusyWindow busy;
    test::ClickButton(Control(metctl::kStartStop));
    ASSERT_TRUE(dialog_->metronome().Sounding()) << "the click stream did not open";
    busy.Start(700);
    test::RunUntil([] { return false; }, std::chrono::seconds(seconds));
    busy.Stop();
    const uint64_t played = dialog_->metronome().clickDevice.OutputBytesPlayed();
    const double latencyMs = dialog_->metronome().clickDevice.OutputLatencyFrames() / 11.025;
    test::ClickButton(Control(metctl::kStartStop));
    std::this_thread::sleep_for(300ms);
    const std::vector<size_t> onsets = ClickOnsets(Samples16(recording->Stop()));

    // The stop drops what the sound system still holds, so only the clicks the stream had handed
    // over a second (beyond its stated latency) before the stop must have been heard; the gaps
    // between onsets show that none is missing in between.
    size_t handedOver = 0;
    const double heardBy = static_cast<double>(played) - (latencyMs / 1000 + 1.0) * 11025;
    while (static_cast<double>(ClickStartSample(handedOver, tempo)) < heardBy) ++handedOver;
    const Timing t = Measure(onsets, tempo);
    std::printf(
        "metronome %d bpm, %d s: %zu clicks heard (%zu handed to the sink 1 s before the stop); "
        "against the true grid: onset error max %.3f ms, mean %.3f ms, drift %.4f ms over the "
        "run (%.4f ms/min); %d window stalls of 250 ms, stream latency %.0f ms\n",
        tempo, seconds, t.clicks, handedOver, t.maxErrorMs, t.meanErrorMs, t.driftMs,
        t.driftMsPerMinute, busy.stalls, latencyMs);
    std::fflush(stdout);
    EXPECT_GE(t.clicks, handedOver) << "clicks are missing";
    EXPECT_EQ(t.gapsOverOneInterval, 0u) << "clicks are missing";
    EXPECT_LE(t.maxErrorMs, 1.0);
    EXPECT_LE(std::abs(t.driftMsPerMinute), 0.5);
    EXPECT_GT(busy.stalls, seconds / 2);
  }
  EXPECT_TRUE(ui_->messages.empty()) << ::testing::PrintToString(ui_->Texts());
}

TEST_F(MetronomeTimingTest, TwoLoopsOfTheTuningToneReachTheSinkByteForByte) {
  // The start-up survey of the devices sets the block length from the recording format when it
  // comes; after it, a short block gives a loop of 65536 samples, 1.49 s.
  test::RunUntil([] { return false; }, 1500ms);
  view_->settings().blockFrames = 512;
  const uint32_t loop = 512 * 128;
  std::unique_ptr<test::MonitorRecording> recording;
  StartRecording(recording, "tone.raw", "u8");
  wxWindow* button = view_->form()->FindWindow(ctl::kTuningButton);
  test::ClickButton(button);
  ASSERT_EQ(view_->doc().transportState(), TransportState::TuningTone)
      << ::testing::PrintToString(ui_->Texts());
  const std::vector<uint8_t> tone = view_->tuningTone()->toneBuffer();
  ASSERT_EQ(tone.size(), loop);
  // Two loops and a half, refilled by timer::kToneAndBeep, with the sink's start-up on top.
  test::RunUntil([] { return false; }, 5s);
  test::ClickButton(button);
  EXPECT_EQ(view_->doc().transportState(), TransportState::Stopped);
  const std::vector<uint8_t> heard = recording->Stop();

  // The fade-in opens every loop and nothing else: it finds the first one.
  const auto probe = tone.begin() + 1000;
  auto at = std::search(heard.begin(), heard.end(), tone.begin(), probe);
  ASSERT_NE(at, heard.end()) << "the tone's start is not in the " << heard.size() << " bytes";
  // Follow two loops through the recording; a sound server that fell behind may slip runs of
  // silence in, which are counted.
  size_t r = static_cast<size_t>(at - heard.begin());
  size_t matched = 0;
  size_t silentRuns = 0;
  while (matched < 2 * size_t{loop} && r < heard.size()) {
    if (heard[r] == tone[matched % loop]) {
      ++matched;
      ++r;
    } else if (heard[r] == 128) {
      while (r < heard.size() && heard[r] == 128 && heard[r] != tone[matched % loop]) ++r;
      ++silentRuns;
    } else {
      break;
    }
  }
  std::printf("tuning tone: %zu of %u samples (two loops) heard in order, %zu silent runs\n",
              matched, 2 * loop, silentRuns);
  std::fflush(stdout);
  EXPECT_EQ(matched, 2 * size_t{loop}) << "first difference at loop sample " << matched % loop;
  EXPECT_EQ(silentRuns, 0u);
}

}  // namespace
}  // namespace velmora
