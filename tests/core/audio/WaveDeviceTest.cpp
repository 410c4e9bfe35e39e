#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "audio/FormatMask.h"
#include "audio/VirtualAudioBackend.h"
#include "audio/WaveDevice.h"
#include "view/DeviceMessages.h"

namespace velmora {
namespace {

using Bytes = std::vector<uint8_t>;

// Blocks whose bytes differ from block to block and from byte to byte, never 0 or 0x80.
std::vector<Bytes> MakeBlocks(uint32_t count, uint32_t bytes) {
  std::vector<Bytes> blocks(count, Bytes(bytes));
  for (uint32_t n = 0; n < count; ++n) {
    for (uint32_t i = 0; i < bytes; ++i) {
      blocks[n][i] = static_cast<uint8_t>((n * 13 + i * 3) % 127 + 1);
    }
  }
  return blocks;
}

Bytes Join(const std::vector<Bytes>& blocks, uint32_t first, uint32_t last) {
  Bytes joined;
  for (uint32_t n = first; n <= last; ++n) {
    joined.insert(joined.end(), blocks[n].begin(), blocks[n].end());
  }
  return joined;
}

class WaveDeviceTest : public ::testing::Test {
 protected:
  // Output format and blocks 0..last pointed at `blocks`; blockLength in samples.
  void SetUpPlayback(std::vector<Bytes>& blocks, uint16_t bits, uint16_t channels,
                     uint32_t blockLength, uint32_t last) {
    device.sampleRate = 44100;
    device.bitsPerSample = bits;
    device.channels = channels;
    device.blockLength = blockLength;
    device.lastBlockLength = 0;
    device.lastIndex = last;
    PointBlocks(blocks, 0, last);
  }
  void PointBlocks(std::vector<Bytes>& blocks, uint32_t first, uint32_t last) {
    for (uint32_t n = first; n <= last; ++n) {
      device.blockData[n % kBlockSlots] = blocks[n].data();
    }
  }
  // Record format and all 128 slots pointed into `ring`; blockLength in frames.
  void SetUpRecord(Bytes& ring, uint16_t bits, uint16_t channels, uint32_t blockFrames) {
    device.sampleRate = 44100;
    device.bitsPerSample = bits;
    device.channels = channels;
    device.blockLength = blockFrames;
    const uint32_t blockBytes = blockFrames * channels * bits / 8;
    ring.assign(size_t{blockBytes} * kBlockSlots, 0xEE);
    for (uint32_t k = 0; k < kBlockSlots; ++k) {
      device.blockData[k] = ring.data() + size_t{k} * blockBytes;
    }
    device.cursor = 0;
  }
  const VirtualStreamState& Output() const { return *backend.LastStream(StreamDirection::Output); }

  VirtualAudioBackend backend;
  WaveDevice device{backend};
};

// ---- Output ----

struct WidthCase {
  uint16_t bits;
  uint16_t channels;
  uint32_t blockLength;  // samples
  uint32_t blockBytes;
  uint8_t silence;
};

TEST_F(WaveDeviceTest, PlaysBlocksInOrderCountingEachWhenThroughThenSilence) {
  for (const WidthCase& c : {WidthCase{8, 1, 6, 6, 0x80}, WidthCase{8, 2, 6, 6, 0x80},
                             WidthCase{16, 1, 6, 12, 0}, WidthCase{16, 2, 6, 12, 0}}) {
    SCOPED_TRACE(testing::Message() << c.bits << "-bit, " << c.channels << " channels");
    std::vector<Bytes> blocks = MakeBlocks(3, c.blockBytes);
    SetUpPlayback(blocks, c.bits, c.channels, c.blockLength, 2);
    ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, false));
    EXPECT_EQ(device.cursor, 2u);
    EXPECT_EQ(device.preparedCount, 3u);
    const uint32_t frameBytes = c.channels * c.bits / 8;
    const uint32_t blockFrames = c.blockBytes / frameBytes;

    Bytes played = backend.AdvanceOutput(blockFrames - 1);
    EXPECT_EQ(device.doneCount, 0u);
    Bytes rest = backend.AdvanceOutput(1);
    played.insert(played.end(), rest.begin(), rest.end());
    EXPECT_EQ(device.doneCount, 1u);
    rest = backend.AdvanceOutput(blockFrames * 2 + 3);
    played.insert(played.end(), rest.begin(), rest.end());
    EXPECT_EQ(device.doneCount, 3u);

    Bytes expected = Join(blocks, 0, 2);
    expected.insert(expected.end(), size_t{3} * frameBytes, c.silence);
    EXPECT_EQ(played, expected);
    device.ClosePlayback();
  }
}

TEST_F(WaveDeviceTest, OneBlockSoundWritesExactlyTheLastBlockLength) {
  std::vector<Bytes> blocks = MakeBlocks(1, 100);
  SetUpPlayback(blocks, 16, 2, 50, 0);
  device.lastBlockLength = 6;  // 3 frames, 12 bytes
  ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, false));

  const Bytes played = backend.AdvanceOutput(5);
  EXPECT_EQ(device.doneCount, 1u);
  Bytes expected(blocks[0].begin(), blocks[0].begin() + 12);
  expected.resize(20, 0);
  EXPECT_EQ(played, expected);
}

TEST_F(WaveDeviceTest, OpenRejectsMoreBlocksThanSlots) {
  std::vector<Bytes> blocks = MakeBlocks(kBlockSlots, 4);
  SetUpPlayback(blocks, 8, 1, 4, kBlockSlots - 1);
  device.lastIndex = kBlockSlots;
  EXPECT_FALSE(device.OpenPlayback(kDefaultDevice, false));
  EXPECT_EQ(backend.openCalls, 0);
}

TEST_F(WaveDeviceTest, AllSlotsAtOpenArePlayedAndReturnedOnClose) {
  std::vector<Bytes> blocks = MakeBlocks(kBlockSlots, 8);
  SetUpPlayback(blocks, 16, 1, 4, kBlockSlots - 1);
  ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, false));
  EXPECT_EQ(device.preparedCount, kBlockSlots);

  EXPECT_EQ(backend.AdvanceOutput(4 * 100), Join(blocks, 0, 99));
  EXPECT_EQ(device.doneCount, 100u);
  device.ClosePlayback();
  EXPECT_EQ(device.doneCount, kBlockSlots);  // every written block has come back
  EXPECT_FALSE(device.outputOpen);
  EXPECT_EQ(backend.OpenStreamCount(), 0);
}

// The transport's refill: raise lastIndex while blocks come back, 128 at most in flight, the
// final block shorter; the ring wraps and every block sounds once, in order.
TEST_F(WaveDeviceTest, RefillAcrossTheRingPlaysEveryBlockOnceToTheShortEnd) {
  constexpr uint32_t kBlocks = 300;
  std::vector<Bytes> blocks = MakeBlocks(kBlocks, 8);
  blocks.back().resize(4);
  SetUpPlayback(blocks, 16, 1, 4, kBlockSlots - 1);
  ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, false));

  Bytes played;
  while (device.doneCount <= device.lastIndex || device.lastBlockLength == 0) {
    const Bytes chunk = backend.AdvanceOutput(7);
    played.insert(played.end(), chunk.begin(), chunk.end());
    if (device.lastBlockLength == 0) {
      const uint32_t first = device.lastIndex + 1;
      uint32_t last = std::min(device.doneCount + kBlockSlots - 1, kBlocks - 1);
      if (last >= first) {
        PointBlocks(blocks, first, last);
        if (last == kBlocks - 1) device.lastBlockLength = 2;
        device.lastIndex = last;
        ASSERT_TRUE(device.QueuePending());
      }
    }
  }
  EXPECT_EQ(device.doneCount, kBlocks);
  const Bytes expected = Join(blocks, 0, kBlocks - 1);
  ASSERT_GE(played.size(), expected.size());
  EXPECT_EQ(Bytes(played.begin(), played.begin() + expected.size()), expected);
}

TEST_F(WaveDeviceTest, QueuePendingWithNothingNewWritesNothing) {
  std::vector<Bytes> blocks = MakeBlocks(2, 4);
  SetUpPlayback(blocks, 8, 1, 4, 1);
  EXPECT_EQ(device.QueuePending().what(), FailureKind::DeviceNotOpen);
  EXPECT_EQ(DeviceErrorMessage(device.QueuePending()), "") << "nothing to tell the user";
  ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, false));
  EXPECT_TRUE(device.QueuePending());
  EXPECT_EQ(device.cursor, 1u);
  Bytes expected = Join(blocks, 0, 1);
  expected.insert(expected.end(), 2, 0x80);
  EXPECT_EQ(backend.AdvanceOutput(10), expected);
}

struct RefillFailure {
  const char* name;
  bool streamDies;
  FailureKind what;
  int code;
  const char* message;
};

// A failed block is skipped: cursor is past it, and it counts as returned without sounding, so
// the owner still sees the end of the sound. The result says what failed, with the code.
TEST_F(WaveDeviceTest, RefillFailureReportsTheCodeAndSkipsTheBlock) {
  for (const RefillFailure& c :
       {RefillFailure{"slot still queued", false, FailureKind::BlockStillQueued, kBlockStillQueued,
                      "waveOutP Error - 33"},
        RefillFailure{"stream died", true, FailureKind::OutputWrite, -9999,
                      "waveOutW Error - -9999"}}) {
    SCOPED_TRACE(c.name);
    std::vector<Bytes> blocks = MakeBlocks(kBlockSlots + 2, 4);
    SetUpPlayback(blocks, 8, 1, 4, kBlockSlots - 1);
    ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, false));
    if (c.streamDies) {
      backend.AdvanceOutput(4);  // block 0 back, its slot free
      backend.FailStreams(-9999);
    }
    device.lastIndex = kBlockSlots;  // block 128 reuses slot 0
    device.blockData[0] = blocks[kBlockSlots].data();
    const Result result = device.QueuePending();
    ASSERT_FALSE(result);
    EXPECT_EQ(result.what(), c.what);
    EXPECT_EQ(result.failure().systemCode, c.code);
    EXPECT_EQ(result.failure().where, "default output device");
    EXPECT_EQ(DeviceErrorMessage(result), c.message);
    EXPECT_EQ(device.cursor, kBlockSlots);
    EXPECT_TRUE(device.outputOpen);

    if (!c.streamDies) {
      // Once block 1 is back, block 129 goes out; the skipped block 128 passes silently.
      backend.AdvanceOutput(8);
      device.lastIndex = kBlockSlots + 1;
      device.blockData[1] = blocks[kBlockSlots + 1].data();
      EXPECT_TRUE(device.QueuePending());
      const Bytes played = backend.AdvanceOutput(4 * 127);
      EXPECT_EQ(device.doneCount, kBlockSlots + 2);
      EXPECT_EQ(Bytes(played.end() - 4, played.end()), blocks[kBlockSlots + 1]);
    }
    device.ClosePlayback();  // does not wait on a dead stream
    EXPECT_GT(device.doneCount, device.cursor);
  }
}

// The owner's timer asks each direction whether its stream still runs: a stream that stopped by
// itself (device gone, server died) is reported with the backend's code until it is closed.
TEST_F(WaveDeviceTest, HealthCheckReportsAStreamThatDiedOnItsOwnSide) {
  std::vector<Bytes> blocks = MakeBlocks(2, 8);
  Bytes ring;
  EXPECT_TRUE(device.CheckOutput()) << "nothing open, nothing failed";
  EXPECT_TRUE(device.CheckInput());
  SetUpRecord(ring, 8, 1, 2);
  ASSERT_TRUE(device.OpenRecord(kDefaultDevice, false));
  SetUpPlayback(blocks, 8, 2, 8, 1);
  ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, false));
  EXPECT_TRUE(device.CheckOutput());
  EXPECT_TRUE(device.CheckInput());

  backend.FailStreams(-9981);
  const Result output = device.CheckOutput();
  const Result input = device.CheckInput();
  ASSERT_EQ(output.what(), FailureKind::OutputFailed);
  EXPECT_EQ(output.failure().systemCode, -9981);
  EXPECT_EQ(DeviceErrorMessage(output), "waveOutW Error - -9981");
  EXPECT_EQ(input.what(), FailureKind::InputFailed);
  EXPECT_EQ(DeviceErrorMessage(input), "waveIn Error - -9981");
  EXPECT_TRUE(device.outputOpen) << "the owner closes it";

  device.ClosePlayback();
  device.CloseRecord();
  EXPECT_TRUE(device.CheckOutput());
  EXPECT_TRUE(device.CheckInput());
}

TEST_F(WaveDeviceTest, PauseKeepsThePositionAndSilencesTheOutput) {
  std::vector<Bytes> blocks = MakeBlocks(2, 8);
  SetUpPlayback(blocks, 8, 2, 8, 1);
  ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, false));
  const Bytes first = backend.AdvanceOutput(3);

  EXPECT_TRUE(device.Pause());
  EXPECT_TRUE(device.streamPaused);
  EXPECT_EQ(backend.AdvanceOutput(4), Bytes(8, 0x80));
  EXPECT_EQ(device.doneCount, 0u);
  EXPECT_TRUE(device.Resume());
  EXPECT_FALSE(device.streamPaused);
  EXPECT_FALSE(device.Resume());

  Bytes played = first;
  const Bytes rest = backend.AdvanceOutput(5);
  played.insert(played.end(), rest.begin(), rest.end());
  EXPECT_EQ(played, Join(blocks, 0, 1));
  EXPECT_EQ(device.doneCount, 2u);
}

TEST_F(WaveDeviceTest, StartPausedStaysSilentUntilResume) {
  std::vector<Bytes> blocks = MakeBlocks(1, 4);
  SetUpPlayback(blocks, 8, 1, 4, 0);
  ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, true));
  EXPECT_TRUE(device.streamPaused);
  EXPECT_EQ(backend.AdvanceOutput(4), Bytes(4, 0x80));
  EXPECT_TRUE(device.Resume());
  EXPECT_EQ(backend.AdvanceOutput(4), blocks[0]);
}

TEST_F(WaveDeviceTest, PauseAndCloseOnAClosedDevice) {
  EXPECT_FALSE(device.Pause());
  EXPECT_FALSE(device.streamPaused);
  device.streamPaused = true;
  EXPECT_FALSE(device.Pause());
  EXPECT_TRUE(device.streamPaused);  // unchanged
  device.ClosePlayback();
  EXPECT_FALSE(device.streamPaused);
  EXPECT_EQ(backend.openCalls, 0);
}

TEST_F(WaveDeviceTest, OpenIsRetriedOnceThenFailsCleanly) {
  std::vector<Bytes> blocks = MakeBlocks(1, 4);
  SetUpPlayback(blocks, 8, 1, 4, 0);
  backend.failOpens = 1;
  EXPECT_TRUE(device.OpenPlayback(kDefaultDevice, false));
  EXPECT_EQ(backend.openCalls, 2);
  device.ClosePlayback();

  backend.failOpens = 2;
  backend.openError = -9985;
  const Result refused = device.OpenPlayback(kDefaultDevice, false);
  ASSERT_EQ(refused.what(), FailureKind::DeviceOpen);
  EXPECT_EQ(refused.failure().systemCode, -9985);
  EXPECT_EQ(backend.openCalls, 4);
  EXPECT_FALSE(device.outputOpen);
  const Result noSuchDevice = device.OpenPlayback(3, false);
  ASSERT_EQ(noSuchDevice.what(), FailureKind::DeviceOpen);
  EXPECT_EQ(noSuchDevice.failure().where, "output device 3");
  EXPECT_EQ(backend.OpenStreamCount(), 0);
  // The owner reports open failures in its own words.
  EXPECT_EQ(DeviceErrorMessage(refused), "");

  backend.failStarts = 1;
  const Result notStarted = device.OpenPlayback(kDefaultDevice, false);
  ASSERT_EQ(notStarted.what(), FailureKind::DeviceStart);
  EXPECT_EQ(notStarted.failure().systemCode, -9985);
  EXPECT_FALSE(device.outputOpen);
  EXPECT_EQ(backend.OpenStreamCount(), 0);
}

TEST_F(WaveDeviceTest, UninitialisedLibraryIsReportedAndEveryOpenFails) {
  backend.initialised = false;
  WaveDevice dead(backend);
  EXPECT_FALSE(dead.Initialised());
  EXPECT_TRUE(device.Initialised());
  std::vector<Bytes> blocks = MakeBlocks(1, 4);
  dead.blockData[0] = blocks[0].data();
  dead.blockLength = 4;
  EXPECT_FALSE(dead.OpenPlayback(kDefaultDevice, false));
  EXPECT_FALSE(dead.OpenRecord(kDefaultDevice, false));
  EXPECT_FALSE(dead.SetVolume(0xFFFFFFFF));
}

TEST_F(WaveDeviceTest, VolumeScalesEachSideOfTheDevicesOutput) {
  EXPECT_TRUE(device.SetVolume(0x0000'8000));  // left about half, right silent
  EXPECT_EQ(device.sampleRate, 11025u);
  EXPECT_EQ(device.bitsPerSample, 8);
  EXPECT_EQ(device.channels, 1);

  // Frames (32766, 32766) and (-32768, -32768).
  std::vector<Bytes> blocks{{0xFE, 0x7F, 0xFE, 0x7F, 0x00, 0x80, 0x00, 0x80}};
  SetUpPlayback(blocks, 16, 2, 4, 0);
  ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, false));
  const Bytes played = backend.AdvanceOutput(2);
  // 32766 * 0x8000 / 0xFFFF = 16383, -32768 * 0x8000 / 0xFFFF = -16384.
  EXPECT_EQ(played, (Bytes{0xFF, 0x3F, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00}));
  device.ClosePlayback();

  // The gain is the device's own: another device on the same sound system plays unchanged.
  WaveDevice other(backend);
  other.bitsPerSample = 16;
  other.channels = 2;
  other.blockLength = 4;
  other.blockData[0] = blocks[0].data();
  ASSERT_TRUE(other.OpenPlayback(kDefaultDevice, false));
  EXPECT_EQ(backend.AdvanceOutput(2), blocks[0]);
}

// ---- Input ----

TEST_F(WaveDeviceTest, RecordFillsHandedBlocksInOrderWithTheirByteCounts) {
  Bytes ring;
  SetUpRecord(ring, 16, 2, 4);  // 16 bytes a block
  ASSERT_TRUE(device.OpenRecord(kDefaultDevice, false));
  EXPECT_EQ(device.lastIndex, kBlockSlots - 1);

  Bytes input(40);
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint8_t>(i + 1);
  ASSERT_TRUE(backend.AdvanceInput(input));
  EXPECT_EQ(device.doneCount, 2u);
  EXPECT_EQ(device.recordedBytes[0], 16u);
  EXPECT_EQ(device.recordedBytes[1], 16u);
  EXPECT_EQ(Bytes(ring.begin(), ring.begin() + 40), input);

  device.cursor = 2;  // the owner took two blocks out
  EXPECT_TRUE(device.RequeueInput());
  EXPECT_EQ(device.lastIndex, kBlockSlots + 1);
  EXPECT_TRUE(device.RequeueInput());  // nothing more to hand back
  EXPECT_EQ(device.lastIndex, kBlockSlots + 1);

  device.CloseRecord();
  EXPECT_FALSE(device.inputOpen);
  EXPECT_EQ(device.doneCount, kBlockSlots + 2);  // every handed block came back
  EXPECT_EQ(device.recordedBytes[2], 8u);        // the block being filled keeps its part
  EXPECT_EQ(device.recordedBytes[3], 0u);
  EXPECT_EQ(backend.OpenStreamCount(), 0);
  device.CloseRecord();  // closed: nothing
}

TEST_F(WaveDeviceTest, RecordLosesFramesOnlyWhileNoBlockIsHanded) {
  Bytes ring;
  SetUpRecord(ring, 8, 1, 2);  // 2 bytes a block
  ASSERT_TRUE(device.OpenRecord(kDefaultDevice, false));
  backend.AdvanceInput(Bytes(2 * kBlockSlots + 6, 0x11));  // the ring is full, 6 bytes lost
  EXPECT_EQ(device.doneCount, kBlockSlots);

  device.cursor = 1;
  ASSERT_TRUE(device.RequeueInput());  // block 128 goes into slot 0 again
  backend.AdvanceInput(Bytes{0x21, 0x22, 0x23});
  EXPECT_EQ(device.doneCount, kBlockSlots + 1);
  EXPECT_EQ(ring[0], 0x21);
  EXPECT_EQ(ring[1], 0x22);
  EXPECT_EQ(ring[2], 0x11);  // slot 1 is still the owner's
}

TEST_F(WaveDeviceTest, RecordOpenedPausedKeepsNothingUntilResume) {
  Bytes ring;
  SetUpRecord(ring, 8, 1, 2);
  ASSERT_TRUE(device.OpenRecord(kDefaultDevice, true));
  EXPECT_TRUE(device.streamPaused);
  EXPECT_FALSE(device.Pause());  // Pause acts on the output only
  backend.AdvanceInput(Bytes(4, 0x33));
  EXPECT_EQ(device.doneCount, 0u);
  EXPECT_TRUE(device.Resume());
  backend.AdvanceInput(Bytes(4, 0x44));
  EXPECT_EQ(device.doneCount, 2u);
  EXPECT_EQ(ring[0], 0x44);
}

TEST_F(WaveDeviceTest, RequeueFailureShowsTheCodeAndRetriesTheSameBlock) {
  Bytes ring;
  SetUpRecord(ring, 8, 1, 2);
  ASSERT_TRUE(device.OpenRecord(kDefaultDevice, false));
  backend.AdvanceInput(Bytes(4, 0x55));
  device.cursor = 2;
  backend.FailStreams(-9981);
  const Result result = device.RequeueInput();
  ASSERT_EQ(result.what(), FailureKind::Requeue);
  EXPECT_EQ(result.failure().where, "default input device");
  EXPECT_EQ(DeviceErrorMessage(result), "waveIn Error - -9981");
  EXPECT_EQ(device.lastIndex, kBlockSlots - 1);
  device.CloseRecord();  // returns at once although the stream died
  EXPECT_EQ(device.doneCount, kBlockSlots);
}

TEST_F(WaveDeviceTest, OpenRecordFailureLeavesTheInputClosed) {
  Bytes ring;
  SetUpRecord(ring, 16, 1, 4);
  backend.failOpens = 1;
  EXPECT_FALSE(device.OpenRecord(kDefaultDevice, false));  // no retry for input
  EXPECT_EQ(backend.openCalls, 1);
  EXPECT_FALSE(device.inputOpen);
  EXPECT_EQ(device.RequeueInput().what(), FailureKind::DeviceNotOpen);
}

// ---- Devices ----

struct EnumerationCase {
  const char* name;
  std::vector<VirtualDevice> devices;
  int failQueryOf;
  int result;
  uint32_t maxFormats;
  size_t queries;
};

TEST_F(WaveDeviceTest, EnumerationQueriesDefaultAndFirstFourKeepingTheLargestMask) {
  const std::vector<VirtualDevice> six{{"a", 0x0F0}, {"b", 0x00F}, {"c", 0x001},
                                       {"d", 0x002}, {"e", 0xFFF}, {"f", 0xFFF}};
  const EnumerationCase cases[] = {
      {"no devices", {}, VirtualAudioBackend::kNoQueryFailure, -1, 0, 1},
      {"largest, not the union",
       {{"a", 0x0F0}, {"b", 0x00F}},
       VirtualAudioBackend::kNoQueryFailure,
       2,
       0x0F0,
       3},
      {"only four queried", six, VirtualAudioBackend::kNoQueryFailure, 6, 0x0F0, 5},
      {"a query fails", six, 2, -1, 0x0F0, 4},
  };
  for (const EnumerationCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (StreamDirection direction : {StreamDirection::Output, StreamDirection::Input}) {
      backend.outputs = backend.inputs = c.devices;
      backend.failQueryOf = c.failQueryOf;
      backend.nameQueries.clear();
      uint32_t maxFormats = 0xDEAD;
      std::array<WaveDeviceCaps, kMaxListedDevices> caps;
      const int result = direction == StreamDirection::Output
                             ? device.EnumerateOutputDevices(maxFormats, caps)
                             : device.EnumerateInputDevices(maxFormats, caps);
      EXPECT_EQ(result, c.result);
      EXPECT_EQ(maxFormats, c.maxFormats);
      ASSERT_EQ(backend.nameQueries.size(), c.queries);
      EXPECT_EQ(backend.nameQueries[0].first, direction);
      EXPECT_EQ(backend.nameQueries[0].second, kDefaultDevice);
      if (c.result >= 2) {
        EXPECT_EQ(caps[0].name, "a");
        EXPECT_EQ(caps[1].formats, 0x00Fu);
      }
    }
  }
}

TEST(FormatMaskTest, BitOfAFormatFollowsTheRateNibble) {
  EXPECT_EQ(FormatBit(11025, 8, 1), 0x1u);
  EXPECT_EQ(FormatBit(44100, 16, 2), 0x800u);
  EXPECT_EQ(FormatBit(96000, 8, 2), 0x20000u);
  EXPECT_EQ(FormatBit(192000, 16, 2), 0x800000u);  // beyond every device mask
  EXPECT_EQ(FormatBit(8000, 16, 1), 0x4u);         // other rates: no shift
  for (const FormatMaskEntry& e : kFormatMaskTable) {
    EXPECT_EQ(FormatBit(e.samplesPerSec, e.bitsPerSample, e.channels), e.bit);
  }
}

TEST(FormatMaskTest, DeviceMaskHasTheBitsTheDeviceTakes) {
  VirtualAudioBackend backend;
  backend.inputs = {{"in", 0x0A5A5}};
  EXPECT_EQ(QueryFormatMask(backend, StreamDirection::Input, 0), 0x0A5A5u);
  EXPECT_EQ(QueryFormatMask(backend, StreamDirection::Input, kDefaultDevice), 0x0A5A5u);
  EXPECT_EQ(QueryFormatMask(backend, StreamDirection::Input, 1), 0u);
}

TEST_F(WaveDeviceTest, HoldOpensAStreamThatStaysSilentUntilClosed) {
  device.sampleRate = 11025;
  device.bitsPerSample = 8;
  device.channels = 1;
  device.OpenHold(kDefaultDevice);
  EXPECT_EQ(backend.OpenStreamCount(), 1);
  EXPECT_FALSE(Output().started);
  EXPECT_EQ(Output().format.samplesPerSec, 11025u);
  device.CloseHold();
  EXPECT_EQ(backend.OpenStreamCount(), 0);
  backend.failOpens = 2;
  device.OpenHold(kDefaultDevice);  // a stream that cannot be opened is not reported
}

// A device that takes one stream at a time is busy with the hold: the retry goes without it.
TEST_F(WaveDeviceTest, RefusedOpenLetsGoOfTheHoldBeforeTheRetry) {
  device.OpenHold(kDefaultDevice);
  ASSERT_EQ(backend.OpenStreamCount(), 1);
  std::vector<Bytes> blocks = MakeBlocks(1, 4);
  SetUpPlayback(blocks, 8, 1, 4, 0);
  backend.failOpens = 1;
  ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, false));
  EXPECT_EQ(backend.OpenStreamCount(), 1) << "only the playback: the hold was let go";
  EXPECT_TRUE(Output().started);
}

TEST_F(WaveDeviceTest, DestroyingTheDeviceClosesItsStreams) {
  Bytes ring;
  std::vector<Bytes> blocks = MakeBlocks(1, 4);
  {
    WaveDevice other(backend);
    other.bitsPerSample = 8;
    other.channels = 1;
    other.blockLength = 4;
    other.blockData[0] = blocks[0].data();
    ASSERT_TRUE(other.OpenPlayback(kDefaultDevice, false));
    other.OpenHold(kDefaultDevice);
    ASSERT_TRUE(other.OpenRecord(kDefaultDevice, false));
    EXPECT_EQ(backend.OpenStreamCount(), 3);
  }
  EXPECT_EQ(backend.OpenStreamCount(), 0);
}

// The callback on its own thread while the owner refills on this one: the hand-over of blocks
// must deliver every byte in order (run under ThreadSanitizer too).
TEST(WaveDeviceWorkerTest, CallbackThreadPlaysEveryRefilledBlockInOrder) {
  VirtualAudioBackend backend;
  WaveDevice device(backend);
  constexpr uint32_t kBlocks = 1000;
  std::vector<Bytes> blocks = MakeBlocks(kBlocks, 16);
  device.bitsPerSample = 16;
  device.channels = 2;
  device.blockLength = 8;
  device.lastIndex = kBlockSlots - 1;
  for (uint32_t n = 0; n < kBlockSlots; ++n) device.blockData[n] = blocks[n].data();
  ASSERT_TRUE(device.OpenPlayback(kDefaultDevice, false));

  Bytes played;
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    while (!stop.load()) {
      const Bytes chunk = backend.AdvanceOutput(5);
      played.insert(played.end(), chunk.begin(), chunk.end());
      if (device.doneCount.load() == kBlocks) break;
    }
  });
  while (device.doneCount.load(std::memory_order_acquire) < kBlocks) {
    const uint32_t done = device.doneCount.load(std::memory_order_acquire);
    const uint32_t last = std::min(done + kBlockSlots - 1, kBlocks - 1);
    for (uint32_t n = device.lastIndex + 1; n <= last; ++n) {
      device.blockData[n % kBlockSlots] = blocks[n].data();
    }
    device.lastIndex = std::max(device.lastIndex, last);
    if (!device.QueuePending()) break;
    std::this_thread::yield();
  }
  stop = true;
  audio.join();
  device.ClosePlayback();
  // Where the owner fell behind the callback gave silent frames; the rest is the sound.
  Bytes sound;
  for (size_t i = 0; i + 4 <= played.size(); i += 4) {
    if (played[i] | played[i + 1] | played[i + 2] | played[i + 3]) {
      sound.insert(sound.end(), played.begin() + i, played.begin() + i + 4);
    }
  }
  EXPECT_EQ(sound, Join(blocks, 0, kBlocks - 1));
}

}  // namespace
}  // namespace velmora
