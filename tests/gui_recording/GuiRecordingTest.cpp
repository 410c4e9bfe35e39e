// Recording end to end: the program's own classes in-process with their real sound system.
// A known signal played into the private PulseAudio server's null sink is recorded from its
// monitor into channel 1, frame for frame; and a click track loaded in channel 1 is played along
// a recording of the monitor, whose clicks must land where the played ones are in the mix.
//
// Needs an X display (scripts/test starts Xvfb) and the private sound server (VELMORA_TEST_PULSE,
// PULSE_SERVER, the sink's monitor the default source); skips without them.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/slider.h>
#include <wx/wx.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "GuiTestMain.h"
#include "MainFrame.h"
#include "ShellFixture.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "ViewRecording.h"
#include "audio/WaveDevice.h"
#include "document/VelmoraDoc.h"
#include "io/Format.h"
#include "recorder/Recorder.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "support/CaseName.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kRate = 44100;
constexpr std::size_t kFrame = 4;

// Polls every 5 ms: a finer poll would add its own processor time to what the test measures.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return test::RunUntil(done, limit, std::chrono::milliseconds(5));
}

void RunFor(std::chrono::milliseconds time) {
  RunUntil([] { return false; }, time);
}

// User and system time of this process so far.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// pacat playing a raw 44100 Hz 16-bit stereo file into the null sink.
pid_t PlayIntoSink(const std::string& path) {
  const pid_t pid = fork();
  if (pid == 0) {
    execlp("pacat", "pacat", "--playback", "-d", "test", "--format=s16le", "--rate=44100",
           "--channels=2", "--raw", path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

class GuiRecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::WxReady()) GTEST_SKIP() << "no X display";
    if (std::getenv("VELMORA_TEST_PULSE") == nullptr) GTEST_SKIP() << "no private sound server";
    // The server aborts on shared-memory blocks passed between its clients (a known fault of
    // its memfd transport); the test's clients send their blocks over the socket instead.
    const std::string config = dir_.File("client.conf");
    test::WriteBytes(config,
                     {'e', 'n', 'a', 'b', 'l', 'e', '-', 's', 'h', 'm', '=', 'n', 'o', '\n'});
    setenv("PULSE_CLIENTCONFIG", config.c_str(), 1);
  }

  void Start(const std::vector<std::string>& files) {
    ShellServices services = test::FakeServices(dir_, ui_, 65535);
    ASSERT_TRUE(TheApp().StartShell(std::move(services), files));
    view_ = TheApp().view();
    ASSERT_NE(view_, nullptr);
    ASSERT_NE(view_->recording(), nullptr);
    // The start-up survey sets the recording format; this test's format is set after it.
    ASSERT_TRUE(
        RunUntil([&] { return view_->settings().maxInputFormats != 0; }, std::chrono::seconds(20)));
    ViewSettings& s = view_->settings();
    s.recordRate = kRate;
    s.recordBits = 16;
    s.recordChannels = 2;
    s.blockFrames = s.recordBlockFrames = 2048;
  }

  void TearDown() override {
    if (view_ == nullptr) return;
    TheApp().FinishShell();
    if (TheApp().frame() != nullptr) TheApp().frame()->Destroy();
    TheApp().DeletePendingWindows();
  }

  void RecordClicksFrom(uint32_t startFrame, const RecordOptions& options);
  CVelmoraDoc& doc() { return view_->doc(); }
  Recorder& recorder() { return view_->recording()->recorder(); }
  std::vector<uint8_t> Take(int i) {
    const ChannelSlot& slot = doc().slot(i);
    return {slot.data.data(), slot.data.data() + slot.data.size()};
  }

  test::TempDir dir_;
  test::FakeUi* ui_ = nullptr;
  CVelmoraView* view_ = nullptr;
};

TEST_F(GuiRecordingTest, AKnownSignalFromTheMonitorIsRecordedFrameForFrame) {
  Start({});
  const std::vector<uint8_t> signal = test::StereoNoise(kRate * 2, 5);
  const std::string raw = dir_.File("signal.raw");
  test::WriteBytes(raw, signal);

  // The same event pump idle, for comparison.
  const double idleBefore = CpuSeconds();
  const Clock::time_point idleWallBefore = Clock::now();
  RunFor(std::chrono::milliseconds(2000));
  const double idle = (CpuSeconds() - idleBefore) /
                      std::chrono::duration<double>(Clock::now() - idleWallBefore).count();
  const double cpuBefore = CpuSeconds();
  const Clock::time_point wallBefore = Clock::now();
  test::Send(cmd::kRecord);
  ASSERT_EQ(doc().transportState(), TransportState::Recording)
      << ::testing::PrintToString(ui_->Texts());
  RunFor(std::chrono::milliseconds(500));  // the input runs before the signal starts
  const pid_t player = PlayIntoSink(raw);
  ASSERT_GT(player, 0);
  int status = 0;
  ASSERT_TRUE(RunUntil([&] { return waitpid(player, &status, WNOHANG) == player; },
                       std::chrono::seconds(20)));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "pacat failed";
  RunFor(std::chrono::milliseconds(1000));
  const double cpu = CpuSeconds() - cpuBefore;
  const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
  test::Send(cmd::kStop);
  ASSERT_EQ(doc().transportState(), TransportState::Stopped);
  EXPECT_TRUE(ui_->messages.empty()) << ::testing::PrintToString(ui_->Texts());
  std::printf("CPU while recording: %.1f %% of one core; idle with the same event pump %.1f %%\n",
              100 * cpu / wall, 100 * idle);

  const std::vector<uint8_t> take = Take(0);
  ASSERT_FALSE(take.empty());
  EXPECT_TRUE(doc().slot(0).path.empty());
  // The lead-in: the take's silent frames before the signal arrived. An idle null sink may drop
  // the very first frames of a new stream before its monitor sees them; from the first frame the
  // take holds on, every frame must be the played one.
  std::size_t leadIn = 0;
  while (leadIn < take.size() && take[leadIn] == 0) ++leadIn;
  leadIn -= leadIn % kFrame;
  constexpr std::size_t kProbe = 64 * kFrame;
  ASSERT_GE(take.size() - leadIn, kProbe);
  auto from = signal.begin();
  do {
    from = std::search(from == signal.begin() ? from : from + 1, signal.end(),
                       take.begin() + static_cast<std::ptrdiff_t>(leadIn),
                       take.begin() + static_cast<std::ptrdiff_t>(leadIn + kProbe));
  } while (from != signal.end() && (from - signal.begin()) % kFrame != 0);
  ASSERT_NE(from, signal.end()) << "the signal is not in the take";
  const auto missed = static_cast<std::size_t>(from - signal.begin());
  EXPECT_LE(missed, std::size_t{kRate / 10} * kFrame) << "the take starts late in the signal";
  const std::size_t rest = signal.size() - missed;
  ASSERT_GE(take.size() - leadIn, rest) << "the take ends before the signal";
  EXPECT_TRUE(std::equal(from, signal.end(), take.begin() + static_cast<std::ptrdiff_t>(leadIn)))
      << "every frame after the lead-in is the played one";
  EXPECT_EQ(recorder().lostFrames(), 0u);
  std::printf(
      "recorded %zu frames: lead-in %zu, then the signal exactly from its frame %zu to "
      "its end (%zu frames)\n",
      take.size() / kFrame, leadIn / kFrame, missed / kFrame, rest / kFrame);
  std::fflush(stdout);
}

// Silent bytes (whole frames) of `take` from byte `from` on.
std::size_t SilentFramesFrom(const std::vector<uint8_t>& take, std::size_t from) {
  std::size_t end = from;
  while (end < take.size() && take[end] == 0) ++end;
  return end - from - (end - from) % kFrame;
}

// The signal frame at which the take's frames from byte `at` on are found.
std::optional<std::size_t> FindInSignal(const std::vector<uint8_t>& signal,
                                        const std::vector<uint8_t>& take, std::size_t at) {
  constexpr std::size_t kProbe = 64 * kFrame;
  if (take.size() < at + kProbe) return std::nullopt;
  for (auto from = signal.begin();; from += kFrame) {
    from = std::search(from, signal.end(), take.begin() + static_cast<std::ptrdiff_t>(at),
                       take.begin() + static_cast<std::ptrdiff_t>(at + kProbe));
    if (from == signal.end()) return std::nullopt;
    if ((from - signal.begin()) % kFrame == 0) {
      return static_cast<std::size_t>(from - signal.begin()) / kFrame;
    }
    from -= (from - signal.begin()) % kFrame;
  }
}

struct Stall {
  const char* name;
  double seconds;
  bool wholeProgram;  // the process stopped (SIGSTOP), not only its window
  bool loses;         // longer than the sound server keeps a stream nobody reads
};
void PrintTo(const Stall& stall, std::ostream* os) {
  *os << stall.name;
}

class GuiRecordingStallTest : public GuiRecordingTest,
                              public ::testing::WithParamInterface<Stall> {};

// Stops this process for `seconds` from a child of its own.
pid_t StopThisProcessFor(double seconds) {
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child == 0) {
    kill(parent, SIGSTOP);
    usleep(static_cast<useconds_t>(seconds * 1e6));
    kill(parent, SIGCONT);
    _exit(0);
  }
  return child;
}

// However long the program is held up, every frame of the take after the hold-up lies where it
// was played: what the sound server kept is in the take, and what it dropped is silence of
// exactly its length, counted and told.
TEST_P(GuiRecordingStallTest, TheTakeStaysWholeAndInTime) {
  const Stall& stall = GetParam();
  Start({});
  const auto signalFrames = static_cast<uint32_t>(kRate * (stall.seconds + 7));
  const std::vector<uint8_t> signal = test::StereoNoise(signalFrames, 9);
  const std::string raw = dir_.File("signal.raw");
  test::WriteBytes(raw, signal);
  test::Send(cmd::kRecord);
  ASSERT_EQ(doc().transportState(), TransportState::Recording)
      << ::testing::PrintToString(ui_->Texts());
  RunFor(std::chrono::milliseconds(300));
  const pid_t player = PlayIntoSink(raw);
  ASSERT_GT(player, 0);
  // A new stream of the server's monitor may take a second or two to bring its first frames.
  ASSERT_TRUE(
      RunUntil([&] { return recorder().recordedFrames() > kRate; }, std::chrono::seconds(10)));
  if (stall.wholeProgram) {
    const pid_t stopper = StopThisProcessFor(stall.seconds);
    ASSERT_GT(stopper, 0);
    int stopped = 0;
    while (waitpid(stopper, &stopped, 0) != stopper) {
    }
  } else {
    std::this_thread::sleep_for(std::chrono::duration<double>(stall.seconds));
  }
  int status = 0;
  ASSERT_TRUE(RunUntil([&] { return waitpid(player, &status, WNOHANG) == player; },
                       std::chrono::seconds(60)));
  RunFor(std::chrono::milliseconds(1000));
  test::Send(cmd::kStop);
  ASSERT_EQ(doc().transportState(), TransportState::Stopped);
  const uint32_t lost = recorder().lostFrames();
  if (stall.loses) {
    EXPECT_GT(lost, kRate) << "more than a second was lost";
    ASSERT_EQ(ui_->messages.size(), 1u) << "the warning at the end";
    EXPECT_EQ(ui_->messages[0].icon, MessageIcon::Exclamation);
    EXPECT_NE(ui_->messages[0].text.find(Format("%u フレーム", lost)), std::string::npos)
        << ui_->messages[0].text;
  } else {
    EXPECT_EQ(lost, 0u);
    EXPECT_TRUE(ui_->messages.empty()) << ::testing::PrintToString(ui_->Texts());
  }

  // In time: the take's frames are the signal's frames of the same moment, or the silence that
  // stands for lost ones. Frames the server handed over while the reader caught up came before
  // the loss was known and lie before its silence; from the silence on the take is in time again.
  const std::vector<uint8_t> take = Take(0);
  const std::size_t leadIn = SilentFramesFrom(take, 0);
  const std::optional<std::size_t> start = FindInSignal(signal, take, leadIn);
  ASSERT_TRUE(start) << "the signal is not in the take";
  // Lock-step from the start up to the first frame that differs.
  std::size_t t = leadIn;
  for (std::size_t s = *start * kFrame;
       t + kFrame <= take.size() && s + kFrame <= signal.size() &&
       std::equal(take.begin() + t, take.begin() + t + kFrame, signal.begin() + s);
       t += kFrame, s += kFrame) {
  }
  const std::size_t inStep = (t - leadIn) / kFrame;
  std::size_t silent = 0;
  std::size_t misplaced = 0;
  double laterErrorMs = 0;
  if (t + kFrame <= take.size() && lost != 0) {
    // Out of place up to the silence, then the silence, then the later audio.
    std::size_t gap = t;
    while (gap + kFrame <= take.size() && SilentFramesFrom(take, gap) < kRate / 100 * kFrame) {
      gap += kFrame;
    }
    misplaced = (gap - t) / kFrame;
    silent = SilentFramesFrom(take, gap) / kFrame;
    const std::size_t after = gap + silent * kFrame;
    const std::optional<std::size_t> later = FindInSignal(signal, take, after);
    ASSERT_TRUE(later) << "the audio after the silence is not in the signal";
    const double expected =
        static_cast<double>(*start) + static_cast<double>(after - leadIn) / kFrame;
    laterErrorMs = (static_cast<double>(*later) - expected) * 1000 / kRate;
  }
  std::printf(
      "%s: %u frames lost (%.3f s) in %zu place(s); %zu frames in step from the start, %zu "
      "frames out of place before a silence of %zu frames; the audio after it lies %.2f ms from "
      "its place\n",
      stall.name, lost, static_cast<double>(lost) / kRate, recorder().dropouts().size(), inStep,
      misplaced, silent, laterErrorMs);
  std::fflush(stdout);
  if (!stall.loses) {
    // Every frame in step, up to the end of the signal (the take goes on a little after it).
    EXPECT_EQ(std::min((take.size() - leadIn) / kFrame, signal.size() / kFrame - *start), inStep);
    return;
  }
  EXPECT_EQ(silent, lost);
  EXPECT_LE(misplaced, std::size_t{kRate} / 20) << "frames out of place next to the gap";
  EXPECT_LE(std::abs(laterErrorMs), 10.0) << "the audio after the loss lies where it was played";
}

INSTANTIATE_TEST_SUITE_P(Stalls, GuiRecordingStallTest,
                         ::testing::Values(Stall{"window_7_5s", 7.5, false, false},
                                           Stall{"program_stopped_30s", 30, true, true}),
                         test::CaseName());

// The sink's monitor as parec records it with a 5 ms latency, read on a thread of its own: what
// it got and when, the reference against which a take's frames are timed.
class ReferenceRecording {
 public:
  ReferenceRecording() {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      execlp("parec", "parec", "-d", "test.monitor", "--format=s16le", "--rate=44100",
             "--channels=2", "--latency-msec=5", "--raw", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    fd_ = out[0];
    reader_ = std::thread([this] {
      uint8_t buffer[4096];
      for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;) {
        const double now = Seconds(Clock::now());
        const std::lock_guard<std::mutex> lock(mutex_);
        bytes_.insert(bytes_.end(), buffer, buffer + n);
        const double frames = static_cast<double>(bytes_.size() / kFrame);
        // The least lag: chunks that came at once after their last frame was captured.
        leastLag_ = std::min(leastLag_, now * kRate - frames);
      }
    });
  }
  ~ReferenceRecording() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) close(fd_);
  }
  ReferenceRecording(const ReferenceRecording&) = delete;
  ReferenceRecording& operator=(const ReferenceRecording&) = delete;

  static double Seconds(Clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
  }
  // When the take's frame at byte `at` was captured (seconds of the steady clock), as the
  // reference recording places the same frames.
  std::optional<double> CaptureTime(const std::vector<uint8_t>& take, std::size_t at) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::optional<std::size_t> frame = FindInSignal(bytes_, take, at);
    if (!frame) return std::nullopt;
    return (static_cast<double>(*frame) + leastLag_) / kRate;
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  std::thread reader_;
  std::mutex mutex_;
  std::vector<uint8_t> bytes_;
  double leastLag_ = 1e300;
};

// A take holds what was captured from the press of Record to the press of Stop: measured against
// a reference recording of the same sound, its first frame lies within a few milliseconds of
// Record and its last one of Stop.
TEST_F(GuiRecordingTest, TheTakeRunsFromThePressOfRecordToThePressOfStop) {
  Start({});
  const std::vector<uint8_t> signal = test::StereoNoise(kRate * 12, 3);
  const std::string raw = dir_.File("signal.raw");
  test::WriteBytes(raw, signal);
  const pid_t player = PlayIntoSink(raw);
  ASSERT_GT(player, 0);
  ReferenceRecording reference;
  RunFor(std::chrono::milliseconds(2500));  // the monitor and the reference are running
  const double recordAt = ReferenceRecording::Seconds(Clock::now());
  test::Send(cmd::kRecord);
  ASSERT_EQ(doc().transportState(), TransportState::Recording);
  RunFor(std::chrono::milliseconds(3000));
  const double stopAt = ReferenceRecording::Seconds(Clock::now());
  test::Send(cmd::kStop);
  ASSERT_EQ(doc().transportState(), TransportState::Stopped);
  RunFor(std::chrono::milliseconds(500));  // the reference has the last frames too
  const std::vector<uint8_t> take = Take(0);
  ASSERT_GT(take.size(), kRate * kFrame);
  const std::optional<double> first = reference.CaptureTime(take, 0);
  const std::optional<double> last = reference.CaptureTime(take, take.size() - 64 * kFrame);
  int status = 0;
  waitpid(player, &status, 0);
  ASSERT_TRUE(first && last) << "the take's frames are not in the reference recording";
  const double startMs = (*first - recordAt) * 1000;
  const double endMs = (stopAt - (*last + 64.0 / kRate)) * 1000;
  std::printf(
      "the take's first frame was captured %.1f ms after Record; its last one %.1f ms before "
      "Stop\n",
      startMs, endMs);
  std::fflush(stdout);
  EXPECT_LE(std::abs(endMs), 15.0) << "every frame captured before Stop, and no later one";
}

// Frames where a click starts: a sample above a third of the click's height after a quiet frame.
std::vector<double> ClickFrames(const std::vector<uint8_t>& pcm, int threshold) {
  std::vector<double> clicks;
  bool quiet = true;
  for (std::size_t f = 0; f + kFrame <= pcm.size(); f += kFrame) {
    const auto left = static_cast<int16_t>(pcm[f] | (pcm[f + 1] << 8));
    const bool loud = std::abs(left) >= threshold;
    if (loud && quiet) clicks.push_back(static_cast<double>(f / kFrame));
    quiet = !loud;
  }
  return clicks;
}

// Records the monitor along the playback of a click track from `startFrame` of the mix; the
// take's clicks must lie within 2 ms of the played ones in the mix.
void GuiRecordingTest::RecordClicksFrom(uint32_t startFrame, const RecordOptions& options) {
  // Clicks of 10 ms every half second, from 0.25 s on.
  constexpr uint32_t kFrames = kRate * 8;
  std::vector<int16_t> samples(std::size_t{kFrames} * 2, 0);
  for (uint32_t start = kRate / 4; start + 441 < kFrames; start += kRate / 2) {
    for (uint32_t f = start; f < start + 441; ++f) samples[f * 2] = samples[f * 2 + 1] = 16000;
  }
  const std::string clicks =
      test::WriteWav(dir_, "clicks.wav", test::WavSpec{}, test::Pcm16(samples));
  Start({clicks});
  ASSERT_TRUE(doc().slot(0).HasData());
  recorder().options = options;
  recorder().options.simultaneousPlayback = true;
  if (startFrame != 0) {
    test::Send(cmd::kPlay);  // builds the mix, so that the slider reaches the start
    test::Send(cmd::kStop);
    auto* slider =
        dynamic_cast<wxSlider*>(wxWindow::FindWindowById(ctl::kPositionSlider, view_->form()));
    ASSERT_NE(slider, nullptr);
    slider->SetValue(static_cast<int>(startFrame));
  }

  test::Send(cmd::kRecord);
  ASSERT_EQ(doc().transportState(), TransportState::Recording)
      << ::testing::PrintToString(ui_->Texts());
  ASSERT_TRUE(recorder().simultaneousActive());
  ASSERT_TRUE(RunUntil([&] { return !recorder().countdownActive(); }, std::chrono::seconds(10)));
  RunFor(std::chrono::milliseconds(200));
  const double statedMs = recorder().roundTripLatency() * 1000;
  // Plays to its end (the playback along then closes); the recording goes on a little.
  ASSERT_TRUE(RunUntil([&] { return !view_->playDevice()->outputOpen; }, std::chrono::seconds(20)));
  RunFor(std::chrono::milliseconds(500));
  test::Send(cmd::kStop);
  ASSERT_EQ(doc().transportState(), TransportState::Stopped);
  EXPECT_TRUE(ui_->messages.empty()) << ::testing::PrintToString(ui_->Texts());
  EXPECT_EQ(doc().position(), startFrame);

  const ChannelSlot& take = doc().slot(1);
  ASSERT_TRUE(take.HasData());
  std::vector<double> want;
  for (double c : ClickFrames(Take(0), 8000)) {
    if (c > startFrame) want.push_back(c);
  }
  // The mix plays channel 1 at its level; the take's clicks are as loud as the mix made them.
  const std::vector<double> got = ClickFrames(Take(1), 2000);
  ASSERT_GE(want.size(), 13u);
  ASSERT_GE(got.size(), want.size() - 1) << "the take holds the clicks";
  const double offsetFrames = take.offset * static_cast<double>(kRate) / 1000;
  // Each recorded click against the nearest played one, in ms. A server that falls behind on a
  // loaded machine plays silence into its output and the rest of the mix sounds later: from
  // such a slip on, the clicks are off by the slip, for the performer too. The take is placed by
  // the clicks before it.
  std::vector<double> errors;
  for (double g : got) {
    const double at = g + offsetFrames;
    const auto nearest = std::min_element(want.begin(), want.end(), [&](double a, double b) {
      return std::abs(a - at) < std::abs(b - at);
    });
    errors.push_back((at - *nearest) * 1000 / kRate);
  }
  // The longest run of clicks in step with one another (no slip between them).
  std::size_t runStart = 0;
  std::size_t inStep = 0;
  for (std::size_t i = 0, start = 0; i < errors.size(); ++i) {
    if (i > 0 && std::abs(errors[i] - errors[i - 1]) >= 2) start = i;
    if (i + 1 - start > inStep) {
      inStep = i + 1 - start;
      runStart = start;
    }
  }
  double worst = 0;
  double sum = 0;
  for (std::size_t i = runStart; i < runStart + inStep; ++i) {
    worst = std::max(worst, std::abs(errors[i]));
    sum += errors[i];
  }
  std::printf(
      "from frame %u: latency taken off %.1f ms (the sound system states %.1f ms; take offset "
      "%d ms); the recorded clicks lie %.2f ms from the played ones on average, %.2f ms at "
      "worst (%zu clicks)\n",
      startFrame, recorder().appliedLatencyMs(), statedMs, take.offset,
      sum / static_cast<double>(inStep), worst, inStep);
  if (inStep < errors.size()) {
    std::printf("  the sound server slipped: %zu of %zu clicks out of step with the rest\n",
                errors.size() - inStep, errors.size());
  }
  std::fflush(stdout);
  EXPECT_LE(worst, 2.0) << "the take is not in line with the mix";
  EXPECT_GE(inStep, 3u) << "the sound server slipped too often to tell";
}

struct StartMode {
  const char* name;
  uint32_t startFrame;
  RecordOptions options;
};
void PrintTo(const StartMode& mode, std::ostream* os) {
  *os << mode.name;
}

class GuiRecordingNoiseTest : public GuiRecordingTest,
                              public ::testing::WithParamInterface<StartMode> {};

class GuiRecordingStartTest : public GuiRecordingTest,
                              public ::testing::WithParamInterface<StartMode> {};

// From the start of the mix or further in, the take's clicks land on the played ones.
TEST_P(GuiRecordingStartTest, ClicksRecordedAlongThePlaybackLandOnThePlayedOnes) {
  std::printf("%s: ", GetParam().name);
  RecordClicksFrom(GetParam().startFrame, GetParam().options);
}

RecordOptions Options(int32_t selfTimerSeconds, bool beeps, int32_t autoStartLevel) {
  RecordOptions options;
  options.selfTimerSeconds = selfTimerSeconds;
  options.beepBeforeStart = beeps;
  options.autoStartLevel = autoStartLevel;
  return options;
}

INSTANTIATE_TEST_SUITE_P(Positions, GuiRecordingStartTest,
                         ::testing::Values(StartMode{"from the start", 0, Options(0, false, 0)},
                                           StartMode{"one second in", kRate, Options(0, false, 0)}),
                         test::CaseName());

// However the recording starts, noise recorded along its own playback through the server's
// monitor lies, at the take's offset, on the very frames of the mix that it holds.
TEST_P(GuiRecordingNoiseTest, NoiseRecordedAlongThePlaybackLiesOnTheMix) {
  const std::vector<uint8_t> noise = test::StereoNoise(kRate * 6, 21);
  std::vector<int16_t> samples(noise.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(noise[2 * i] | (noise[2 * i + 1] << 8));
  }
  const std::string file = test::WriteWav(dir_, "noise.wav", test::WavSpec{}, test::Pcm16(samples));
  Start({file});
  recorder().options = GetParam().options;
  recorder().options.simultaneousPlayback = true;
  test::Send(cmd::kRecord);
  ASSERT_TRUE(recorder().simultaneousActive());
  ASSERT_TRUE(RunUntil([&] { return !recorder().countdownActive(); }, std::chrono::seconds(10)));
  ASSERT_TRUE(RunUntil([&] { return !view_->playDevice()->outputOpen; }, std::chrono::seconds(20)));
  RunFor(std::chrono::milliseconds(300));
  test::Send(cmd::kStop);
  const ChannelSlot& take = doc().slot(1);
  ASSERT_TRUE(take.HasData());
  const std::vector<uint8_t> takeBytes = Take(1);
  const std::vector<uint8_t> mix(doc().mixBuffer().data(),
                                 doc().mixBuffer().data() + doc().mixFrames() * kFrame);
  std::size_t at = SilentFramesFrom(takeBytes, 0) + kRate / 10 * kFrame;
  const std::optional<std::size_t> found = FindInSignal(mix, takeBytes, at);
  ASSERT_TRUE(found) << "the mix is not in the take";
  const double expected = take.offset * static_cast<double>(kRate) / 1000 + at / kFrame;
  const double errorMs = (expected - static_cast<double>(*found)) * 1000 / kRate;
  std::printf("%s: latency taken off %.1f ms, offset %d ms; the take lies %.2f ms from the mix\n",
              GetParam().name, recorder().appliedLatencyMs(), take.offset, errorMs);
  std::fflush(stdout);
  // The offset is whole milliseconds.
  EXPECT_LE(std::abs(errorMs), 1.0) << "the take lies where the mix it holds was played";
}

INSTANTIATE_TEST_SUITE_P(
    StartModes, GuiRecordingNoiseTest,
    ::testing::Values(StartMode{"at_once", 0, Options(0, false, 0)},
                      StartMode{"self_timer", 0, Options(1, false, 0)},
                      StartMode{"self_timer_with_beeps", 0, Options(2, true, 0)},
                      StartMode{"on_the_input_level", 0, Options(0, false, 10)}),
    test::CaseName());

}  // namespace
}  // namespace velmora
