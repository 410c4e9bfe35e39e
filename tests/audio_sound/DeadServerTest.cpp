// A sound server that dies while the program plays and records through it. The test starts a
// private PulseAudio server of its own (null sink, its monitor the default source), so that
// killing it leaves the server the other sound tests share alone; the transport plays a mix into
// it and a second device records the monitor, the server is killed, and the timer's ticks must
// end the playback with the device's message, once, while the input reports its failure too.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "PortAudioBackend.h"
#include "audio/WaveDevice.h"
#include "document/VelmoraDoc.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "support/DocumentFixture.h"
#include "support/FakeForm.h"
#include "support/FakeTimers.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"
#include "transport/Transport.h"
#include "view/DeviceMessages.h"
#include "view/ViewSettings.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

void Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool Accepts(const std::string& socketPath) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
  const bool connected =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  close(fd);
  return connected;
}

// A PulseAudio server in a folder of its own, and this process's sound clients pointed at it for
// as long as it lives.
class PrivateServer {
 public:
  PrivateServer() : socket_(dir_.File("pulse.sock")) {
    const std::string runtime = dir_.File("runtime");
    const std::string home = dir_.File("home");
    mkdir(runtime.c_str(), 0700);
    mkdir(home.c_str(), 0700);
    const std::string log = dir_.File("pulse.log");
    pid_ = fork();
    if (pid_ == 0) {
      setenv("HOME", home.c_str(), 1);
      setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
      unsetenv("PULSE_SERVER");
      if (std::freopen(log.c_str(), "w", stdout) == nullptr ||
          std::freopen(log.c_str(), "w", stderr) == nullptr) {
        _exit(126);
      }
      const std::string protocol = "module-native-protocol-unix socket=" + socket_;
      execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
             "--disallow-exit", "--realtime=no", "--high-priority=no",
             "--load=module-null-sink sink_name=dying", ("--load=" + protocol).c_str(),
             static_cast<char*>(nullptr));
      _exit(127);
    }
    const char* previous = std::getenv("PULSE_SERVER");
    if (previous != nullptr) savedServer_ = previous;
    hadServer_ = previous != nullptr;
    setenv("PULSE_SERVER", ("unix:" + socket_).c_str(), 1);
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
    while (pid_ > 0 && !Accepts(socket_) && Clock::now() < deadline) Sleep(50);
  }
  ~PrivateServer() {
    Kill();
    if (hadServer_) {
      setenv("PULSE_SERVER", savedServer_.c_str(), 1);
    } else {
      unsetenv("PULSE_SERVER");
    }
  }
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  bool up() const { return pid_ > 0 && Accepts(socket_); }
  // Dies at once, as a crashed server does.
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  test::TempDir dir_;
  std::string socket_;
  pid_t pid_ = -1;
  std::string savedServer_;
  bool hadServer_ = false;
};

TEST(SoundTest, ServerKilledMidPlayEndsPlaybackWithTheDeviceMessageOnce) {
  if (std::getenv("VELMORA_TEST_PULSE") == nullptr) {
    GTEST_SKIP() << "VELMORA_TEST_PULSE not set: no PulseAudio to start";
  }
  PrivateServer server;
  ASSERT_TRUE(server.up()) << "the private server did not come up";
  PortAudioBackend backend;
  ASSERT_TRUE(backend.Initialised());

  test::FakeUi ui;
  CVelmoraDoc doc(ui);
  test::FakeForm form;
  test::FakeTimers timers;
  ViewSettings view;
  WaveDevice playDevice(backend);
  Transport transport(ViewContext{doc, ui, form, timers, view}, playDevice);
  timers.SetHandler([&](int id) { transport.OnTimer(id); });
  test::PutMix(doc, 44100 * 60);  // a minute: far longer than the test
  doc.SetEndMark(doc.mixFrames() - 1);
  doc.SetStartMark(4410);
  form.SetPosition(ctl::kPositionSlider, 44100);

  // The monitor recorded beside it: the input side sees the server go too.
  WaveDevice recordDevice(backend);
  std::vector<uint8_t> ring(std::size_t{kBlockSlots} * 1024 * 4);
  recordDevice.sampleRate = 44100;
  recordDevice.bitsPerSample = 16;
  recordDevice.channels = 2;
  recordDevice.blockLength = 1024;
  for (uint32_t k = 0; k < kBlockSlots; ++k)
    recordDevice.blockData[k] = &ring[std::size_t{k} * 1024 * 4];
  recordDevice.cursor = 0;
  ASSERT_TRUE(recordDevice.OpenRecord(kDefaultDevice, false));

  transport.OnCommand(cmd::kPlay);
  ASSERT_EQ(doc.transportState(), TransportState::Playing);
  // Ticks as the window timer gives them, until the sound flows.
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
  while (playDevice.doneCount.load() < 3 && Clock::now() < deadline) {
    Sleep(100);
    timers.Fire(timer::kPlayback);
  }
  ASSERT_GE(playDevice.doneCount.load(), 3u) << "the server took no sound";
  ASSERT_TRUE(ui.messages.empty());

  server.Kill();
  deadline = Clock::now() + std::chrono::seconds(15);
  while (doc.transportState() == TransportState::Playing && Clock::now() < deadline) {
    Sleep(100);
    timers.Fire(timer::kPlayback);
  }
  for (int tick = 0; tick < 3; ++tick) timers.Fire(timer::kPlayback);

  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text.rfind("waveOutW Error - ", 0), 0u) << ui.messages[0].text;
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
  EXPECT_FALSE(playDevice.outputOpen);
  EXPECT_FALSE(timers.Running(timer::kPlayback));
  EXPECT_EQ(doc.position(), 4410u) << "as after Stop: at the start mark";

  const Result input = recordDevice.CheckInput();
  EXPECT_EQ(input.what(), FailureKind::InputFailed);
  EXPECT_EQ(DeviceErrorMessage(input).rfind("waveIn Error - ", 0), 0u);
  recordDevice.CloseRecord();  // returns although the stream is dead
  EXPECT_FALSE(recordDevice.inputOpen);
}

}  // namespace
}  // namespace velmora
