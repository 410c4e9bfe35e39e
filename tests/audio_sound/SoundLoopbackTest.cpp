// End to end through the real sound system: WaveDevice plays a known sample sequence into the
// private server's null sink and records the sink's monitor at the same time, block by block as
// the transport does; and with no server every open fails quickly and without console output.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "PortAudioBackend.h"
#include "audio/WaveDevice.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kRate = 44100;
constexpr uint16_t kChannels = 2;
constexpr uint32_t kBlockFrames = 256;  // small, so that the rings wrap within seconds
constexpr size_t kBlockSamples = size_t{kBlockFrames} * kChannels;

bool ServerAvailable() {
  return std::getenv("VELMORA_TEST_PULSE") != nullptr;
}

// A sequence of 16-bit samples that does not repeat within the test (xorshift).
std::vector<int16_t> DistinctSamples(size_t count) {
  std::vector<int16_t> samples(count);
  uint32_t state = 0x9E3779B9u;
  for (int16_t& s : samples) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    s = static_cast<int16_t>(state >> 16);
  }
  return samples;
}

// Sample index (frame aligned) at which `needle` starts in `haystack`, if it does.
std::optional<size_t> FindSequence(const std::vector<int16_t>& haystack,
                                   const std::vector<int16_t>& needle, size_t probe) {
  for (size_t at = 0; at + needle.size() <= haystack.size(); at += kChannels) {
    bool same = true;
    for (size_t i = 0; i < probe && same; ++i) same = haystack[at + i] == needle[i];
    if (same) return at;
  }
  return std::nullopt;
}

// Follows `played` through `recorded` from `at`, frame by frame. On a loaded machine the sound
// server may slip whole silent frames in (an underrun of the sink); those are counted, but every
// played frame must come back unchanged and in order.
struct Comparison {
  size_t framesMatched = 0;
  size_t silentFramesInserted = 0;
  size_t firstMismatchFrame = 0;
  bool exact = false;
};

Comparison FollowPlayed(const std::vector<int16_t>& recorded, size_t at,
                        const std::vector<int16_t>& played) {
  Comparison c;
  size_t r = at;
  size_t p = 0;
  while (p < played.size() && r + kChannels <= recorded.size()) {
    if (std::equal(played.begin() + p, played.begin() + p + kChannels, recorded.begin() + r)) {
      p += kChannels;
      r += kChannels;
      ++c.framesMatched;
    } else if (std::all_of(recorded.begin() + r, recorded.begin() + r + kChannels,
                           [](int16_t v) { return v == 0; })) {
      r += kChannels;
      ++c.silentFramesInserted;
    } else {
      break;
    }
  }
  c.firstMismatchFrame = p / kChannels;
  c.exact = p == played.size();
  return c;
}

// Feeds the playback device as the transport's timer does: blocks of `sound` as they come back.
class Player {
 public:
  Player(WaveDevice& device, const std::vector<int16_t>& sound) : device_(device), sound_(sound) {
    device_.sampleRate = kRate;
    device_.bitsPerSample = 16;
    device_.channels = kChannels;
    device_.blockLength = kBlockFrames * kChannels;
    device_.lastBlockLength = 0;
    device_.lastIndex = Point(0, kBlockSlots - 1);
  }
  void Refill() {
    if (device_.lastBlockLength != 0) return;
    const uint32_t first = device_.lastIndex + 1;
    const uint32_t last = device_.doneCount.load() + kBlockSlots - 1;
    if (last < first) return;
    device_.lastIndex = Point(first, last);
    ASSERT_TRUE(device_.QueuePending());
  }
  bool Finished() const {
    return device_.lastBlockLength != 0 && device_.doneCount.load() > device_.lastIndex;
  }

 private:
  // Points blocks first..last (as far as the sound goes) and returns the last one pointed.
  uint32_t Point(uint32_t first, uint32_t last) {
    const size_t blocks = (sound_.size() + kBlockSamples - 1) / kBlockSamples;
    uint32_t n = first;
    for (; n <= last && n < blocks; ++n) {
      device_.blockData[n % kBlockSlots] =
          reinterpret_cast<uint8_t*>(const_cast<int16_t*>(sound_.data() + n * kBlockSamples));
    }
    if (n == blocks) {
      device_.lastBlockLength = static_cast<uint32_t>(sound_.size() - (blocks - 1) * kBlockSamples);
    }
    return n - 1;
  }

  WaveDevice& device_;
  const std::vector<int16_t>& sound_;
};

// Takes filled blocks out of the record ring as the recording timer does, and hands them back.
class Recorder {
 public:
  explicit Recorder(WaveDevice& device) : device_(device), ring_(kBlockSamples * kBlockSlots) {
    device_.sampleRate = kRate;
    device_.bitsPerSample = 16;
    device_.channels = kChannels;
    device_.blockLength = kBlockFrames;
    for (uint32_t k = 0; k < kBlockSlots; ++k) {
      device_.blockData[k] = reinterpret_cast<uint8_t*>(ring_.data() + k * kBlockSamples);
    }
    device_.cursor = 0;
  }
  void Collect() {
    const uint32_t filled = device_.doneCount.load();
    for (uint32_t k = device_.cursor; k < filled; ++k) {
      const int16_t* block = ring_.data() + (k % kBlockSlots) * kBlockSamples;
      recorded.insert(recorded.end(), block,
                      block + device_.recordedBytes[k % kBlockSlots].load() / sizeof(int16_t));
    }
    device_.cursor = filled;
    ASSERT_TRUE(device_.RequeueInput());
  }
  std::vector<int16_t> recorded;

 private:
  WaveDevice& device_;
  std::vector<int16_t> ring_;
};

TEST(SoundTest, MonitorRecordingHoldsThePlayedSamplesExactly) {
  if (!ServerAvailable()) GTEST_SKIP() << "VELMORA_TEST_PULSE not set: no private sound server";
  PortAudioBackend backend;
  ASSERT_TRUE(backend.Initialised());
  WaveDevice playDevice(backend);
  WaveDevice recordDevice(backend);

  // 400 blocks and a short one: the play ring wraps three times, about 2.3 s.
  const std::vector<int16_t> sound = DistinctSamples(400 * kBlockSamples + size_t{100} * kChannels);
  Recorder recorder(recordDevice);
  ASSERT_TRUE(recordDevice.OpenRecord(kDefaultDevice, false));
  // The server delivers the monitor only once the capture really runs: wait for its first blocks.
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
  while (recordDevice.doneCount.load() < 4 && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  recorder.Collect();
  const size_t recordedBeforePlay = recorder.recorded.size();
  ASSERT_GT(recordedBeforePlay, 0u) << "the capture gave nothing";

  Player player(playDevice, sound);
  const Clock::time_point opened = Clock::now();
  ASSERT_TRUE(playDevice.OpenPlayback(kDefaultDevice, false));

  // Run until the last block has come back and another half second is recorded.
  std::optional<size_t> recordedAtEnd;
  while (Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    player.Refill();
    recorder.Collect();
    if (!recordedAtEnd && player.Finished()) recordedAtEnd = recorder.recorded.size();
    if (recordedAtEnd && recorder.recorded.size() > *recordedAtEnd + size_t{kRate} / 2 * kChannels)
      break;
  }
  const double playSeconds = std::chrono::duration<double>(Clock::now() - opened).count();
  playDevice.ClosePlayback();
  recordDevice.CloseRecord();
  ASSERT_TRUE(player.Finished()) << "playback did not finish";

  // The server may settle its buffers while the first frames of a new stream pass (it rewinds
  // the sink when the stream joins), so the first few milliseconds are the lead-in: follow the
  // played frames from the first of them that the recording holds, within the first 4096.
  std::optional<size_t> at;
  size_t skipped = 0;
  for (; skipped <= 4096 && !at; skipped += 64) {
    const std::vector<int16_t> rest(sound.begin() + skipped * kChannels, sound.end());
    at = FindSequence(recorder.recorded, rest, 64);
    if (at) break;
  }
  ASSERT_TRUE(at.has_value()) << "the played samples were not found in the recording of "
                              << recorder.recorded.size() / kChannels << " frames";
  const std::vector<int16_t> rest(sound.begin() + skipped * kChannels, sound.end());
  const Comparison heard = FollowPlayed(recorder.recorded, *at, rest);
  EXPECT_TRUE(heard.exact) << "the recording differs from the played samples at played frame "
                           << skipped + heard.firstMismatchFrame << " of "
                           << sound.size() / kChannels;
  ASSERT_GE(*at, recordedBeforePlay);
  const size_t leadIn = (*at - recordedBeforePlay) / kChannels;
  std::printf(
      "sound loopback: lead-in %.1f ms (%zu frames) at %u Hz after the open; %.2f s of sound "
      "took %.2f s; %zu silent frames slipped in by the server; %zu first frames unheard\n",
      leadIn * 1000.0 / kRate, leadIn, kRate, static_cast<double>(sound.size()) / kChannels / kRate,
      playSeconds, heard.silentFramesInserted, skipped);
}

// Sends stdout and stderr of the whole process to a file while it lives.
class ConsoleCapture {
 public:
  ConsoleCapture() : file_(std::tmpfile()) {
    std::fflush(stdout);
    std::fflush(stderr);
    savedOut_ = dup(STDOUT_FILENO);
    savedErr_ = dup(STDERR_FILENO);
    dup2(fileno(file_), STDOUT_FILENO);
    dup2(fileno(file_), STDERR_FILENO);
  }
  ~ConsoleCapture() { std::fclose(file_); }
  std::string Finish() {
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut_, STDOUT_FILENO);
    dup2(savedErr_, STDERR_FILENO);
    close(savedOut_);
    close(savedErr_);
    std::string text;
    std::rewind(file_);
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_))
      text.push_back(static_cast<char>(c));
    return text;
  }

 private:
  std::FILE* file_;
  int savedOut_ = -1;
  int savedErr_ = -1;
};

TEST(SoundTest, WithNoServerEveryOpenFailsQuicklyAndQuietly) {
  if (!ServerAvailable()) GTEST_SKIP() << "VELMORA_TEST_PULSE not set: no private sound server";
  const char* previous = std::getenv("PULSE_SERVER");
  const std::string saved = previous != nullptr ? previous : "";
  setenv("PULSE_SERVER", "unix:/nonexistent/velmora-no-server/native", 1);

  const Clock::time_point start = Clock::now();
  ConsoleCapture capture;
  bool playOpened = true;
  bool recordOpened = true;
  int outputs = 0;
  int inputs = 0;
  {
    PortAudioBackend backend;
    WaveDevice device(backend);
    std::vector<uint8_t> block(4096);
    device.bitsPerSample = 16;
    device.channels = 2;
    device.blockLength = 1024;
    device.blockData.fill(block.data());
    playOpened = device.OpenPlayback(kDefaultDevice, false).ok();
    device.ClosePlayback();
    recordOpened = device.OpenRecord(kDefaultDevice, false).ok();
    device.CloseRecord();
    uint32_t mask = 0;
    std::array<WaveDeviceCaps, kMaxListedDevices> caps;
    outputs = device.EnumerateOutputDevices(mask, caps);
    inputs = device.EnumerateInputDevices(mask, caps);
  }
  const std::string console = capture.Finish();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (previous != nullptr) {
    setenv("PULSE_SERVER", saved.c_str(), 1);
  } else {
    unsetenv("PULSE_SERVER");
  }

  EXPECT_FALSE(playOpened);
  EXPECT_FALSE(recordOpened);
  EXPECT_EQ(outputs, -1);
  EXPECT_EQ(inputs, -1);
  EXPECT_EQ(console, "");
  std::printf("no server: start-up, opens and enumeration failed in %.3f s\n", seconds);
}

}  // namespace
}  // namespace velmora
