// A recording process is killed with SIGKILL a few seconds into a take: the recovery file it
// leaves is a valid WAV holding every frame but at most the last two seconds, and the next start
// offers it and loads it as an unsaved take into the channel it was recorded into.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "document/VelmoraDoc.h"
#include "io/LittleEndian.h"
#include "recorder/Recorder.h"
#include "recorder/RecoveryFiles.h"
#include "recorder/RecoveryWriter.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"
#include "support/StudioRig.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBlock = 1024;
constexpr uint32_t kFrameBytes = 4;
constexpr int kTakeChannel = 2;  // the first two channels hold files

// Byte i of the take: a sequence that does not repeat within the test's length.
uint8_t TakeByte(uint64_t i) {
  const uint64_t x = (i / 2) * 2654435761u;
  return static_cast<uint8_t>((i % 2) != 0 ? (x >> 24) : (x >> 16));
}

std::vector<uint8_t> TakeBytes(uint64_t first, uint64_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint64_t i = 0; i < count; ++i) bytes[i] = TakeByte(first + i);
  return bytes;
}

// The child: records from the virtual input in real time into a recovery file in `dir`, and
// reports the frames it has stored on `report` after every tick. Never returns.
[[noreturn]] void RecordForever(const std::string& dir, int report) {
  test::StudioRig rig;
  rig.view.blockFrames = rig.view.recordBlockFrames = kBlock;
  RecoveryTakes takes(rig.doc, rig.ui, rig.panel, dir);
  for (int channel = 0; channel < kTakeChannel; ++channel)
    test::PutSilence(rig.doc, channel, {}, 10);
  Recorder& recorder = rig.recorder;
  recorder.options.simultaneousPlayback = false;
  recorder.openRecovery = [&](uint32_t rate, uint16_t bits, uint16_t channels) {
    std::unique_ptr<RecoveryWriter> writer = takes.OpenWriter(rate, bits, channels);
    // As Record places it: no mix to play along, so no offset.
    if (writer) writer->SetPlacement(TakePlacement{kTakeChannel, 0, 0, 0});
    return writer;
  };
  rig.timers.SetHandler([&](int id) { recorder.OnTimer(id); });
  recorder.Record();
  uint64_t fed = 0;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    // Feeds in real time, a block at a time.
    const auto due = start + std::chrono::microseconds((fed / kFrameBytes) * 1000000 / kRate);
    std::this_thread::sleep_until(due);
    rig.backend.AdvanceInput(TakeBytes(fed, uint64_t{kBlock} * kFrameBytes));
    fed += uint64_t{kBlock} * kFrameBytes;
    rig.timers.Fire(timer::kRecording);
    const uint32_t frames = recorder.recordedFrames();
    if (write(report, &frames, sizeof frames) != sizeof frames) _exit(2);
  }
}

TEST(RecordingCrashTest, AKilledRecordingLeavesAValidWavAndTheNextStartOffersIt) {
  const std::string dir =
      (fs::temp_directory_path() / ("velmora-crash-" + std::to_string(getpid()))).string();
  fs::remove_all(dir);
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipeEnds[0]);
    RecordForever(dir, pipeEnds[1]);
  }
  close(pipeEnds[1]);
  fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
  uint32_t reported = 0;
  const auto drain = [&] {
    uint32_t value = 0;
    while (read(pipeEnds[0], &value, sizeof value) == sizeof value) reported = value;
  };
  const auto killAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(3500);
  while (std::chrono::steady_clock::now() < killAt) {
    drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  drain();
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  drain();
  close(pipeEnds[0]);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_GT(reported, 2 * kRate) << "the child recorded too little to tell";

  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path().string());
  ASSERT_EQ(files.size(), 1u);
  std::ifstream in(files[0], std::ios::binary);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
  ASSERT_GE(file.size(), kWavHeaderBytes);
  const uint32_t dataBytes = le::U32(&file[40]);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + kWavHeaderBytes),
            MakeWavHeader(kRate, 16, 2, dataBytes))
      << "a valid header whose sizes agree";
  ASSERT_LE(dataBytes, file.size() - kWavHeaderBytes) << "the header counts only written data";
  EXPECT_EQ(dataBytes % kFrameBytes, 0u);
  const uint32_t frames = dataBytes / kFrameBytes;
  EXPECT_GE(frames + 2 * kRate, reported) << "more than two seconds lost";
  EXPECT_TRUE(std::equal(file.begin() + kWavHeaderBytes, file.begin() + kWavHeaderBytes + dataBytes,
                         TakeBytes(0, dataBytes).begin()))
      << "the frames are the take's";
  std::printf("killed at %u frames stored; the recovery file's header holds %u (%.2f s behind)\n",
              reported, frames, (static_cast<double>(reported) - frames) / kRate);

  // The next start.
  test::StudioRig next;
  test::FakeUi& ui = next.ui;
  const CVelmoraDoc& doc = next.doc;
  {
    RecoveryTakes takes(next.doc, ui, next.panel, dir);
    ui.answers = {Answer::Yes};
    takes.OfferLeftTakes();
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kRecoveryOffer});
    const ChannelSlot& slot = doc.slot(kTakeChannel);
    ASSERT_TRUE(slot.HasData()) << "back in the channel it was recorded into";
    EXPECT_FALSE(doc.slot(0).HasData());
    EXPECT_GE(slot.frames, frames);
    EXPECT_TRUE(slot.path.empty()) << "an unsaved take: closing asks to save it";
    EXPECT_TRUE(std::equal(slot.data.data(), slot.data.data() + slot.data.size(),
                           TakeBytes(0, slot.data.size()).begin()));
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace velmora
