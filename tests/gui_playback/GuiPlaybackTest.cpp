// Playback end to end: the program's own classes in-process with their real sound system. Two
// WAV files are loaded, the mix is built with the make-mix button and played with the play
// command to its end into the private PulseAudio server's null sink, while parec records the
// sink's monitor; the recording holds the mix's samples exactly, and the transport is back at
// the start mark, stopped. The system's suspend stops a playback through the stop command.
//
// Needs an X display (scripts/test starts Xvfb) and the private sound server (VELMORA_TEST_PULSE,
// PULSE_SERVER); skips without them.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/button.h>
#include <wx/init.h>
#include <wx/slider.h>
#include <wx/textctrl.h>
#include <wx/wx.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "GuiTestMain.h"
#include "MainFrame.h"
#include "ShellFixture.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "audio/WaveDevice.h"
#include "document/VelmoraDoc.h"
#include "panel/CorrectionList.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"
#include "view/TimeText.h"

namespace velmora {
namespace {

// A suspend the test announces itself.
class ScriptedPowerEvents : public PowerEvents {
 public:
  bool Start(SuspendHandler handler) override {
    *handler_ = std::move(handler);
    return true;
  }
  explicit ScriptedPowerEvents(SuspendHandler* handler) : handler_(handler) {}

 private:
  SuspendHandler* handler_;
};

template <typename T>
T* Control(int id) {
  return dynamic_cast<T*>(wxWindow::FindWindowById(id, TheApp().view()->form()));
}

void Click(int id) {
  auto* button = Control<wxButton>(id);
  wxCommandEvent click(wxEVT_BUTTON, id);
  click.SetEventObject(button);
  button->ProcessWindowEvent(click);
}

// Runs the event loop (timers included) until `done` or the limit, polling every 5 ms.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return test::RunUntil(done, limit, std::chrono::milliseconds(5));
}

// parec recording the null sink's monitor into a raw file, stopped by its process id.
class MonitorRecording {
 public:
  explicit MonitorRecording(const std::string& path) : path_(path) {
    pid_ = fork();
    if (pid_ == 0) {
      execlp("parec", "parec", "-d", "test.monitor", "--format=s16le", "--rate=44100",
             "--channels=2", "--raw", "--file-format=raw", path.c_str(),
             static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~MonitorRecording() { Stop(); }
  bool started() const { return pid_ > 0; }
  std::size_t BytesSoFar() const {
    struct stat info {};
    return stat(path_.c_str(), &info) == 0 ? static_cast<std::size_t>(info.st_size) : 0;
  }
  // Stops the recording and returns what it holds.
  std::vector<uint8_t> Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGINT);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    return test::ReadBytes(path_);
  }

 private:
  std::string path_;
  pid_t pid_ = -1;
};

struct Heard {
  std::size_t firstUnheard = 0;  // mix frames before the first one the recording holds
  std::size_t framesHeard = 0;   // mix frames found, in order, from there
  std::size_t silentGaps = 0;
};

// Follows the mix's frames through the recording, exact and in order. The server may rewind its
// sink while a new stream's first frames pass, so the following starts at the first of the mix's
// first 4096 frames that the recording holds. Between them the recording may hold runs of digital
// silence: a sound server that fell behind fills its underrun with silence and then goes on with
// the samples it was given.
Heard FindInOrder(const std::vector<uint8_t>& recording, const std::vector<uint8_t>& mix) {
  constexpr std::size_t kFrame = 4;
  constexpr std::size_t kProbeFrames = 64;
  constexpr std::size_t kMostUnheard = 4096;
  Heard heard;
  auto at = recording.end();
  for (; heard.firstUnheard <= kMostUnheard; heard.firstUnheard += kProbeFrames) {
    const std::size_t from = heard.firstUnheard * kFrame;
    if (mix.size() < from + kProbeFrames * kFrame) return heard;
    const auto probe = mix.begin() + static_cast<std::ptrdiff_t>(from);
    at = std::search(recording.begin(), recording.end(), probe, probe + kProbeFrames * kFrame);
    while (at != recording.end() && (at - recording.begin()) % kFrame != 0) {
      at = std::search(at + 1, recording.end(), probe, probe + kProbeFrames * kFrame);
    }
    if (at != recording.end()) break;
  }
  if (at == recording.end()) return heard;
  std::size_t r = static_cast<std::size_t>(at - recording.begin());
  std::size_t m = heard.firstUnheard * kFrame;
  const auto silent = [&](std::size_t i) {
    return std::all_of(recording.begin() + i, recording.begin() + i + kFrame,
                       [](uint8_t b) { return b == 0; });
  };
  while (m < mix.size() && r + kFrame <= recording.size()) {
    if (std::equal(mix.begin() + m, mix.begin() + m + kFrame, recording.begin() + r)) {
      m += kFrame;
      r += kFrame;
    } else if (silent(r)) {
      while (r + kFrame <= recording.size() && silent(r)) r += kFrame;
      ++heard.silentGaps;
    } else {
      break;
    }
  }
  heard.framesHeard = m / kFrame - heard.firstUnheard;
  return heard;
}

class GuiPlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::WxReady()) GTEST_SKIP() << "no X display";
    if (std::getenv("VELMORA_TEST_PULSE") == nullptr) GTEST_SKIP() << "no private sound server";
    ShellServices services = test::FakeServices(dir_, ui_, 65535);
    services.powerEvents = std::make_unique<ScriptedPowerEvents>(&suspend_);
    const std::string a =
        test::WriteWav(dir_, "a.wav", test::WavSpec{}, test::StereoNoise(44100 * 3 / 2, 7));
    const std::string b =
        test::WriteWav(dir_, "b.wav", test::WavSpec{}, test::StereoNoise(44100, 11));
    ASSERT_TRUE(TheApp().StartShell(std::move(services), {a, b}));
    view_ = TheApp().view();
    ASSERT_NE(view_, nullptr);
    ASSERT_NE(view_->transport(), nullptr);
    ASSERT_TRUE(doc().slot(0).HasData());
    ASSERT_TRUE(doc().slot(1).HasData());
  }

  void TearDown() override {
    if (view_ == nullptr) return;
    // The document and its view go first, while the form still has its frame.
    TheApp().FinishShell();
    if (TheApp().frame() != nullptr) TheApp().frame()->Destroy();
    TheApp().DeletePendingWindows();
  }

  CVelmoraDoc& doc() { return view_->doc(); }

  test::TempDir dir_;
  test::FakeUi* ui_ = nullptr;
  CVelmoraView* view_ = nullptr;
  PowerEvents::SuspendHandler suspend_;
};

TEST_F(GuiPlaybackTest, PlaysTheMixToTheEndIntoTheSoundServer) {
  Click(ctl::kMakeMix);
  ASSERT_TRUE(doc().HasMix());
  ASSERT_EQ(doc().mixFrames(), 44100u * 3 / 2);
  // A start mark a fifth of a second in; the slider stays at the start of the mix.
  doc().SetPosition(8820);
  test::Send(cmd::kStartMark);
  ASSERT_EQ(doc().startMark(), 8820u);
  ASSERT_EQ(Control<wxSlider>(ctl::kPositionSlider)->GetValue(), 0);

  MonitorRecording recording(dir_.File("monitor.raw"));
  ASSERT_TRUE(recording.started());
  // The capture must run before the first sample arrives: wait until it writes.
  ASSERT_TRUE(RunUntil([&] { return recording.BytesSoFar() > 0; }, std::chrono::seconds(10)))
      << "parec records nothing";

  test::Send(cmd::kPlay);
  ASSERT_EQ(doc().transportState(), TransportState::Playing)
      << ::testing::PrintToString(ui_->Texts());
  EXPECT_FALSE(Control<wxButton>(ctl::kTuningButton)->IsEnabled());
  bool moved = false;
  ASSERT_TRUE(RunUntil(
      [&] {
        moved = moved || Control<wxSlider>(ctl::kPositionSlider)->GetValue() > 0;
        return doc().transportState() == TransportState::Stopped;
      },
      std::chrono::seconds(20)))
      << "playback did not end";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::vector<uint8_t> heard = recording.Stop();

  EXPECT_TRUE(moved) << "the slider followed the sound";
  EXPECT_EQ(doc().position(), 8820u);
  EXPECT_EQ(Control<wxSlider>(ctl::kPositionSlider)->GetValue(), 8820);
  EXPECT_EQ(Control<wxTextCtrl>(ctl::kPositionTime)->GetValue().utf8_string(),
            PositionTimeText(8820, 44100));
  EXPECT_TRUE(Control<wxButton>(ctl::kTuningButton)->IsEnabled());
  EXPECT_TRUE(ui_->messages.empty()) << ::testing::PrintToString(ui_->Texts());

  const std::vector<uint8_t> mix(doc().mixBuffer().data(),
                                 doc().mixBuffer().data() + doc().mixBuffer().size());
  const Heard found = FindInOrder(heard, mix);
  EXPECT_EQ(found.firstUnheard + found.framesHeard, mix.size() / 4)
      << "the mix's frames are not all in the " << heard.size() / 4 << " recorded frames";
  std::printf(
      "end to end: %zu mix frames heard exactly after %zu unheard first frames, %zu server "
      "underruns in between\n",
      found.framesHeard, found.firstUnheard, found.silentGaps);
  std::fflush(stdout);
}

TEST_F(GuiPlaybackTest, SuspendStopsThePlayback) {
  test::Send(cmd::kPlay);  // builds the mix in the background and plays it
  ASSERT_EQ(doc().transportState(), TransportState::Playing);
  ASSERT_TRUE(suspend_) << "the shell watches the power events";
  auto hold = std::make_shared<int>(0);
  std::weak_ptr<int> held = hold;
  suspend_(std::move(hold));
  ASSERT_TRUE(RunUntil([&] { return doc().transportState() == TransportState::Stopped; },
                       std::chrono::seconds(5)));
  EXPECT_FALSE(view_->playDevice()->outputOpen);
  EXPECT_TRUE(RunUntil([&] { return held.expired(); }, std::chrono::seconds(5)))
      << "the suspend waits no longer than the stop";
}

}  // namespace
}  // namespace velmora
