// Playback driven by hand: the transport plays a mix in the document through the virtual device,
// the test advances the device and fires the timers, and what the device gave out is compared
// with the mix's bytes.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "audio/VirtualAudioBackend.h"
#include "audio/WaveDevice.h"
#include "document/VelmoraDoc.h"
#include "panel/CorrectionList.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "support/CaseName.h"
#include "support/DocumentFixture.h"
#include "support/FakeForm.h"
#include "support/FakeTimers.h"
#include "support/FakeUi.h"
#include "support/MenuCommands.h"
#include "support/StudioRig.h"
#include "transport/Transport.h"
#include "view/TimeText.h"
#include "view/ViewSettings.h"

namespace velmora {
namespace {

using test::FakeForm;
using test::FakeTimers;
using test::FakeUi;
using Access = test::DocumentAccess;

constexpr uint32_t kBlock = 64;  // frames per transport block in these tests
constexpr uint32_t kFrameBytes = 4;

// 16-bit stereo sample of the test mix: every frame differs from its neighbours.
int16_t Sample(uint32_t frame, int side) {
  return static_cast<int16_t>((frame * 7 + static_cast<uint32_t>(side) * 13000) % 60000 - 30000);
}

std::vector<uint8_t> MixBytes(const CVelmoraDoc& doc, uint32_t first, uint32_t count) {
  const uint8_t* p = doc.mixBuffer().data() + uint64_t{first} * kFrameBytes;
  return {p, p + uint64_t{count} * kFrameBytes};
}

class TransportTest : public ::testing::Test, protected test::StudioRig {
 protected:
  void SetUp() override {
    view.blockFrames = kBlock;
    timers.SetHandler([this](int id) { transport.OnTimer(id); });
    transport.waitForMix = [] { FAIL() << "Play waited with no build running"; };
  }

  // A current 44100 Hz 16-bit mix in the document, as a finished build leaves it.
  void MakeMix(uint32_t frames) {
    test::PutMix(doc, frames);
    uint8_t* mix = Access::mixBuffer(doc).data();
    for (uint32_t f = 0; f < frames; ++f) {
      for (int side = 0; side < 2; ++side) {
        const auto v = static_cast<uint16_t>(Sample(f, side));
        mix[f * 4 + side * 2] = static_cast<uint8_t>(v);
        mix[f * 4 + side * 2 + 1] = static_cast<uint8_t>(v >> 8);
      }
    }
    ASSERT_TRUE(Access::blockPeaks(doc).Allocate(frames / kBlock + 1, 2));
    Access::mixBlockFrames(doc) = kBlock;
    doc.SetEndMark(frames - 1);
    Access::slot(doc, 0).inUse = true;
    form.SetPosition(ctl::kPositionSlider, 0);
  }

  void PlayFrom(uint32_t frame) {
    form.SetPosition(ctl::kPositionSlider, static_cast<int>(frame));
    transport.OnCommand(cmd::kPlay);
  }

  // Pulls `frames` frames out of the device, then one tick of timer::kPlayback (if it runs).
  void Advance(uint32_t frames) {
    if (frames != 0) {
      const std::vector<uint8_t> bytes = backend.AdvanceOutput(frames);
      played.insert(played.end(), bytes.begin(), bytes.end());
    }
    timers.Fire(timer::kPlayback);
  }

  // Advances in steps smaller than a block until timer::kPlayback stops; false if it never does.
  bool PlayToEnd(uint32_t step = 50) {
    for (int i = 0; i < 100000 && timers.Running(timer::kPlayback); ++i) Advance(step);
    return !timers.Running(timer::kPlayback);
  }

  // The played bytes: the first `count` frames, with only silence after them.
  std::vector<uint8_t> PlayedSound(uint32_t count) const {
    const std::size_t bytes = uint64_t{count} * kFrameBytes;
    if (played.size() < bytes) return played;
    for (std::size_t i = bytes; i < played.size(); ++i) {
      if (played[i] != 0) return played;  // sound after the end: shows as a size mismatch
    }
    return {played.begin(), played.begin() + static_cast<std::ptrdiff_t>(bytes)};
  }

  std::vector<uint8_t> played;
};

struct RangeCase {
  const char* name;
  uint32_t mixFrames;
  uint32_t position;
  uint32_t endMark;  // 0 = at the end of the mix
  uint32_t startMark;
  uint32_t firstPlayed;
  uint32_t playedFrames;
  uint32_t blocks;  // blocks of the playback
};
void PrintTo(const RangeCase& c, std::ostream* os) {
  *os << c.name;
}

class TransportRangeTest : public TransportTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(TransportRangeTest, PlaysTheFramesToTheEndAndReturnsToTheStartMark) {
  const RangeCase& c = GetParam();
  MakeMix(c.mixFrames);
  if (c.endMark != 0) doc.SetEndMark(c.endMark);
  doc.SetStartMark(c.startMark);

  PlayFrom(c.position);
  EXPECT_EQ(doc.transportState(), TransportState::Playing);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(transport.startFrame, c.firstPlayed);
  EXPECT_EQ(transport.remainingFrames, c.playedFrames);
  EXPECT_EQ(device.lastIndex, std::min(c.blocks, 128u) - 1);
  if (c.blocks <= 128) {
    const uint32_t tail = c.playedFrames - (c.blocks - 1) * kBlock;
    EXPECT_EQ(device.lastBlockLength, tail * 2) << "final block known at the start";
  } else {
    EXPECT_EQ(device.lastBlockLength, 0u);
  }
  EXPECT_EQ(device.blockData[0], doc.mixBuffer().data() + uint64_t{c.firstPlayed} * kFrameBytes)
      << "blocks point into the mix";

  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(PlayedSound(c.playedFrames), MixBytes(doc, c.firstPlayed, c.playedFrames));
  EXPECT_EQ(device.doneCount.load(), c.blocks);
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_FALSE(device.outputOpen);
  EXPECT_EQ(doc.position(), c.startMark);
  EXPECT_EQ(form.At(ctl::kPositionSlider).position, static_cast<int>(c.startMark));
  EXPECT_EQ(form.At(ctl::kPositionTime).text, PositionTimeText(c.startMark, 44100));
  EXPECT_EQ(form.At(ctl::kMeterLeft).position, 0);
  EXPECT_TRUE(form.At(ctl::kTuningButton).enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, TransportRangeTest,
    ::testing::Values(RangeCase{"ShorterThanOneBlock", 40, 0, 0, 0, 0, 40, 1},
                      RangeCase{"EndsOnABlockBoundary", 3 * kBlock, 0, 0, 0, 0, 3 * kBlock, 3},
                      RangeCase{"LongerThanTheRing", 300 * kBlock + 17, 5, 0, 3, 5,
                                300 * kBlock + 12, 301},
                      RangeCase{"ExactlyTheRing", 128 * kBlock, 0, 0, 0, 0, 128 * kBlock, 128},
                      RangeCase{"EndMarkAfterThePosition", 10 * kBlock, 100, 300, 0, 100, 201, 4},
                      RangeCase{"EndMarkBeforeThePosition", 10 * kBlock, 100, 50, 20, 100, 540, 9},
                      RangeCase{"EndMarkAtThePosition", 10 * kBlock, 100, 100, 0, 100, 540, 9}),
    test::CaseName());

TEST_F(TransportTest, LastBlockBackLeavesTheSoundSystemATickToPlayItOut) {
  MakeMix(3 * kBlock);
  PlayFrom(0);
  Advance(3 * kBlock);  // every block taken by the sound system
  EXPECT_EQ(doc.transportState(), TransportState::Playing);
  EXPECT_TRUE(device.outputOpen) << "its latency still holds the end of the sound";
  EXPECT_TRUE(timers.Running(timer::kPlayback));
  timers.Fire(timer::kPlayback);
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_FALSE(device.outputOpen);
  EXPECT_FALSE(timers.Running(timer::kPlayback));
}

TEST_F(TransportTest, TimerMovesSliderTimeAndMetersWithTheSoundingBlock) {
  MakeMix(44100 * 62);
  Access::mixBlockFrames(doc) = 2 * kBlock;  // the peaks were made with other blocks than today's
  ASSERT_TRUE(Access::blockPeaks(doc).Allocate(doc.mixFrames() / doc.mixBlockFrames() + 1, 2));
  const uint32_t start = 44100 * 61;  // 01:01.000
  const uint32_t sounding = start + 3 * kBlock;
  Access::blockPeaks(doc).Store(sounding / (2 * kBlock), 16384, -32768);

  PlayFrom(start);
  EXPECT_EQ(form.At(ctl::kPositionSlider).max, static_cast<int>(doc.mixFrames() - kBlock));
  Advance(3 * kBlock + 10);  // three blocks back, the fourth sounding

  EXPECT_EQ(doc.position(), sounding);
  EXPECT_EQ(form.At(ctl::kPositionSlider).position, static_cast<int>(sounding));
  EXPECT_EQ(form.At(ctl::kPositionTime).text, "01:01.004");
  EXPECT_EQ(form.At(ctl::kMeterLeft).position, 50);
  EXPECT_EQ(form.At(ctl::kMeterRight).position, 100);
  EXPECT_TRUE(timers.Running(timer::kPlayback));
  EXPECT_EQ(timers.Interval(timer::kPlayback), 100);
  EXPECT_EQ(device.lastIndex, 3u + 128u - 1) << "the ring is topped up as blocks come back";
}

TEST_F(TransportTest, StopWhileSoundingReturnsToTheStartMarkAndWhilePausedStays) {
  for (const bool paused : {false, true}) {
    SCOPED_TRACE(paused);
    MakeMix(20 * kBlock);
    doc.SetStartMark(70);
    PlayFrom(100);
    Advance(2 * kBlock + 5);
    if (paused) transport.OnCommand(cmd::kPause);
    const uint32_t where = doc.position();
    ASSERT_EQ(where, 100 + 2 * kBlock);

    transport.OnCommand(cmd::kStop);
    EXPECT_EQ(doc.transportState(), TransportState::Stopped);
    EXPECT_FALSE(device.outputOpen);
    EXPECT_FALSE(timers.Running(timer::kPlayback));
    EXPECT_EQ(doc.position(), paused ? where : 70u);
    EXPECT_FALSE(doc.paused());
    EXPECT_FALSE(transport.pausedPlayback);
    EXPECT_EQ(form.At(ctl::kMeterLeft).position, 0);
    EXPECT_EQ(form.At(ctl::kMeterRight).position, 0);
  }
}

TEST_F(TransportTest, PauseWhileStoppedArmsPlaySilentlyAndTheNextPauseSounds) {
  MakeMix(10 * kBlock);
  transport.OnCommand(cmd::kPause);
  EXPECT_TRUE(doc.paused());
  EXPECT_FALSE(transport.pausedPlayback) << "nothing was playing";

  PlayFrom(0);
  EXPECT_EQ(doc.transportState(), TransportState::Playing);
  EXPECT_TRUE(device.outputOpen);
  EXPECT_TRUE(device.streamPaused);
  EXPECT_FALSE(timers.Running(timer::kPlayback));
  EXPECT_EQ(backend.AdvanceOutput(kBlock),
            std::vector<uint8_t>(std::size_t{kBlock} * kFrameBytes, 0))
      << "armed, silent";

  transport.OnCommand(cmd::kPause);
  EXPECT_FALSE(doc.paused());
  EXPECT_TRUE(timers.Running(timer::kPlayback));
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(PlayedSound(10 * kBlock), MixBytes(doc, 0, 10 * kBlock));
}

TEST_F(TransportTest, PauseHoldsThePlaceAndPlayWaitsForTheResume) {
  MakeMix(10 * kBlock);
  PlayFrom(0);
  Advance(kBlock + 10);
  transport.OnCommand(cmd::kPause);
  EXPECT_TRUE(transport.pausedPlayback);
  EXPECT_FALSE(timers.Running(timer::kPlayback));
  EXPECT_EQ(backend.AdvanceOutput(kBlock),
            std::vector<uint8_t>(std::size_t{kBlock} * kFrameBytes, 0));

  const int opens = backend.openCalls;
  PlayFrom(5 * kBlock);  // does nothing while paused
  EXPECT_EQ(backend.openCalls, opens);
  EXPECT_EQ(transport.startFrame, 0u);

  transport.OnCommand(cmd::kPause);
  EXPECT_FALSE(transport.pausedPlayback);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(PlayedSound(10 * kBlock), MixBytes(doc, 0, 10 * kBlock)) << "no frame lost or repeated";
}

TEST_F(TransportTest, PlayWhilePlayingStartsAgainFromTheSlider) {
  MakeMix(10 * kBlock);
  PlayFrom(0);
  Advance(kBlock + 10);
  const int opens = backend.openCalls;

  PlayFrom(6 * kBlock + 3);
  EXPECT_EQ(backend.openCalls, opens + 1);
  EXPECT_EQ(backend.OpenStreamCount(), 1) << "the first stream was closed";
  EXPECT_EQ(transport.startFrame, 6 * kBlock + 3);
  played.clear();
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(PlayedSound(4 * kBlock - 3), MixBytes(doc, 6 * kBlock + 3, 4 * kBlock - 3));
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
}

TEST_F(TransportTest, GoToStartAndGoToEndWithAnEndMark) {
  MakeMix(1000);
  doc.SetEndMark(500);
  doc.SetStartMark(200);
  struct Step {
    int command;
    uint32_t position;
  };
  const Step steps[] = {
      {cmd::kGoToEnd, 500 - kBlock + 1},   // the last block before the end mark
      {cmd::kGoToEnd, 1000 - kBlock + 1},  // already there: the last block of the mix
      {cmd::kGoToStart, 200},              // the start mark lies before
      {cmd::kGoToStart, 0},                // at the start mark: the start of the mix
      {cmd::kGoToEnd, 500 - kBlock + 1},
  };
  for (const Step& s : steps) {
    transport.OnCommand(s.command);
    EXPECT_EQ(doc.position(), s.position);
    EXPECT_EQ(form.At(ctl::kPositionSlider).position, static_cast<int>(s.position));
    EXPECT_EQ(form.At(ctl::kPositionTime).text, PositionTimeText(s.position, 44100));
  }
}

TEST_F(TransportTest, GoToEndBelowTheStartOfTheMixGoesToFrameZero) {
  struct Case {
    uint32_t mixFrames;
    uint32_t endMark;
    uint32_t position;
    uint32_t expected;
  };
  const Case cases[] = {
      {40, 39, 20, 0},       // mix shorter than a block
      {1000, 10, 500, 937},  // end mark inside the first block: the end of the mix
      {1000, 10, 0, 937},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mixFrames);
    MakeMix(c.mixFrames);
    doc.SetEndMark(c.endMark);
    doc.SetPosition(c.position);
    transport.GoToEnd();
    EXPECT_EQ(doc.position(), c.expected);
  }
}

TEST_F(TransportTest, PositionCommandsWhilePlayingStopFirst) {
  MakeMix(20 * kBlock);
  doc.SetStartMark(30);
  PlayFrom(100);
  Advance(kBlock + 1);
  transport.OnCommand(cmd::kGoToStart);
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_EQ(doc.position(), 30u) << "Stop's return to the start mark, nothing else";

  PlayFrom(100);
  transport.OnCommand(cmd::kGoToEnd);
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_EQ(doc.position(), (20 * kBlock - 1) - kBlock + 1) << "from the start mark Stop went to";
  EXPECT_FALSE(device.outputOpen);
}

TEST_F(TransportTest, GoToChannelOffset) {
  MakeMix(44100 * 3);
  struct Case {
    int32_t offsetMs;
    uint32_t position;
    const char* time;
  };
  const Case cases[] = {
      {1500, 66150, "00:01.500"},
      {0, 0, "00:00.000"},
      {-500, 0, "00:00.000"},  // placed before the mix: its start
      {61001, 2690144, "01:01.001"},
  };
  for (int channel = 0; channel < 4; ++channel) {
    const Case& c = cases[channel];
    doc.SetOffset(channel, c.offsetMs);
    transport.OnCommand(cmd::kGoToOffset + channel);
    EXPECT_EQ(doc.position(), c.position) << channel;
    EXPECT_EQ(form.At(ctl::kPositionSlider).position, static_cast<int>(c.position));
    EXPECT_EQ(form.At(ctl::kPositionTime).text, c.time);
  }
  PlayFrom(0);
  transport.OnCommand(cmd::kGoToOffset);
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_EQ(doc.position(), 66150u);
}

TEST_F(TransportTest, MarksToggle) {
  MakeMix(1000);
  doc.SetPosition(300);
  transport.OnCommand(cmd::kStartMark);
  EXPECT_EQ(doc.startMark(), 300u);
  transport.OnCommand(cmd::kStartMark);
  EXPECT_EQ(doc.startMark(), 0u);

  transport.OnCommand(cmd::kEndMark);
  EXPECT_EQ(doc.endMark(), 300 + kBlock - 1);
  transport.OnCommand(cmd::kEndMark);
  EXPECT_EQ(doc.endMark(), 999u);
}

TEST_F(TransportTest, EndMarkInTheLastBlockStaysInsideTheMix) {
  MakeMix(1000);
  doc.SetPosition(990);
  transport.OnCommand(cmd::kEndMark);
  EXPECT_EQ(doc.endMark(), 999u);
  PlayFrom(980);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(PlayedSound(20), MixBytes(doc, 980, 20));
}

TEST_F(TransportTest, FailuresShowTheirMessageAndChangeNothing) {
  struct Case {
    const char* name;
    bool mix;
    uint32_t position;
    bool initialised;
    int failOpens;
    const char* message;
  };
  const Case cases[] = {
      {"no mix", false, 0, true, 0, msg::kNoPlayData},
      {"position at the end", true, 1000, true, 0, msg::kNoPlayData},
      {"device layer down", true, 0, false, 0, msg::kPlaybackInitFailed},
      {"open fails twice", true, 0, true, 2, msg::kPlaybackStartFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi ui;
    CVelmoraDoc doc(ui);
    FakeForm form;
    FakeTimers timers;
    VirtualAudioBackend backend;
    backend.initialised = c.initialised;
    backend.failOpens = c.failOpens;
    WaveDevice device(backend);
    Transport transport(ViewContext{doc, ui, form, timers, view}, device);
    if (c.mix) {
      test::PutMix(doc, 1000);
      doc.SetEndMark(999);
    }
    form.SetPosition(ctl::kPositionSlider, static_cast<int>(c.position));
    transport.OnCommand(cmd::kPlay);
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(ui.waitDepth, 0);
    EXPECT_EQ(doc.transportState(), TransportState::Stopped);
    EXPECT_FALSE(device.outputOpen);
    EXPECT_FALSE(timers.Running(timer::kPlayback));
  }
}

TEST_F(TransportTest, FailedRestartLeavesTheTransportStopped) {
  MakeMix(10 * kBlock);
  PlayFrom(0);
  backend.failOpens = 2;
  PlayFrom(kBlock);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kPlaybackStartFailed});
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_FALSE(timers.Running(timer::kPlayback));
  EXPECT_TRUE(form.At(ctl::kTuningButton).enabled);
}

// A stream that dies (device gone, sound server down) returns no more blocks, whether or not a
// refill is pending: the next tick ends the playback as Stop does and shows the device's message,
// once.
TEST_F(TransportTest, DeadStreamEndsThePlaybackWithItsMessageOnce) {
  struct Case {
    const char* name;
    uint32_t mixBlocks;
    bool pausedWhenItDies;
  };
  const Case cases[] = {
      {"refill pending", 300, false},
      {"final block already queued", 10, false},
      {"dies while paused, seen once resumed", 300, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi ui;
    CVelmoraDoc doc(ui);
    FakeForm form;
    FakeTimers timers;
    VirtualAudioBackend backend;
    WaveDevice device(backend);
    Transport transport(ViewContext{doc, ui, form, timers, view}, device);
    timers.SetHandler([&](int id) { transport.OnTimer(id); });
    test::PutMix(doc, c.mixBlocks * kBlock);
    doc.SetEndMark(doc.mixFrames() - 1);
    doc.SetStartMark(70);
    form.SetPosition(ctl::kPositionSlider, 100);
    transport.OnCommand(cmd::kPlay);
    backend.AdvanceOutput(2 * kBlock);
    timers.Fire(timer::kPlayback);
    ASSERT_EQ(doc.transportState(), TransportState::Playing);

    if (c.pausedWhenItDies) transport.OnCommand(cmd::kPause);
    backend.FailStreams(-9999);
    if (c.pausedWhenItDies) transport.OnCommand(cmd::kPause);
    for (int tick = 0; tick < 3; ++tick) timers.Fire(timer::kPlayback);

    ASSERT_EQ(ui.Texts(), std::vector<std::string>{"waveOutW Error - -9999"});
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(doc.transportState(), TransportState::Stopped);
    EXPECT_FALSE(device.outputOpen);
    EXPECT_FALSE(timers.Running(timer::kPlayback));
    EXPECT_EQ(doc.position(), 70u) << "back at the start mark, as after Stop";
    EXPECT_EQ(form.At(ctl::kPositionSlider).position, 70);
    EXPECT_FALSE(doc.paused());
    EXPECT_TRUE(form.At(ctl::kTuningButton).enabled);
  }
}

// Stop while the last block plays out (the extra tick pending) must not leave the next playback
// without its own extra tick: here one started without block set-up, as the recorder does.
TEST_F(TransportTest, StopDuringThePlayOutTickLeavesTheNextPlaybackItsOwn) {
  MakeMix(3 * kBlock);
  PlayFrom(0);
  Advance(3 * kBlock);  // every block back: the close waits one more tick
  ASSERT_TRUE(timers.Running(timer::kPlayback));
  transport.OnCommand(cmd::kStop);

  transport.Play(false);  // the blocks as they were set
  ASSERT_EQ(doc.transportState(), TransportState::Playing);
  Advance(3 * kBlock);
  EXPECT_EQ(doc.transportState(), TransportState::Playing) << "the sound system plays it out";
  EXPECT_TRUE(device.outputOpen);
  timers.Fire(timer::kPlayback);
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
}

TEST_F(TransportTest, PlaysOnTheChosenOutputDeviceInTheMixFormat) {
  backend.outputs.push_back(VirtualDevice{"second"});
  view.outputDevice = 1;
  MakeMix(10 * kBlock);
  PlayFrom(0);
  const VirtualStreamState* stream = backend.LastStream(StreamDirection::Output);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->device, 1);
  EXPECT_EQ(stream->format.samplesPerSec, 44100u);
  EXPECT_EQ(stream->format.bitsPerSample, 16);
  EXPECT_EQ(stream->format.channels, 2);
}

TEST_F(TransportTest, ClosingTheViewClosesThePlayback) {
  MakeMix(10 * kBlock);
  PlayFrom(0);
  transport.OnDestroy();
  EXPECT_FALSE(device.outputOpen);
  EXPECT_FALSE(timers.Running(timer::kPlayback));
  EXPECT_EQ(backend.OpenStreamCount(), 0);
}

TEST_F(TransportTest, OtherIdsAreNotTheTransports) {
  EXPECT_FALSE(transport.OnCommand(cmd::kOpen));
  EXPECT_FALSE(transport.OnCommand(cmd::kGoToOffset + 4));
  EXPECT_FALSE(transport.HandlesCommand(cmd::kOpen));
  EXPECT_FALSE(transport.HandlesCommand(cmd::kRecord)) << "the recorder's";
  EXPECT_FALSE(transport.HandlesCommand(cmd::kGoToOffset + 4));
}

// The router enables the commands a target claims: the transport claims exactly those it runs.
TEST_F(TransportTest, ClaimsExactlyTheMenuCommandsItRuns) {
  MakeMix(10 * kBlock);
  int claimed = 0;
  for (int id : test::MenuCommands()) {
    EXPECT_EQ(transport.HandlesCommand(id), transport.OnCommand(id)) << id;
    claimed += transport.HandlesCommand(id) ? 1 : 0;
  }
  EXPECT_EQ(claimed, 11) << "play, stop, pause, start, end, two marks, four offsets";
}

// A background build played while it runs: a worker thread mixes the test's pattern frame by
// frame in the kernel's order (from its start to the end, then from frame 0), publishing each
// frame through mixCursor, and mixes only as far as the test lets it.
class ScriptedBuild {
 public:
  explicit ScriptedBuild(CVelmoraDoc& doc) : doc_(doc) {}
  ~ScriptedBuild() {
    if (!started_) return;
    Allow(doc_.mixFrames());
  }

  // What BuildMix does for a background build over an allocated mix, on the document's worker.
  void Start(uint32_t from) {
    start_ = from;
    started_ = true;
    Access::mixCursor(doc_).store(from);
    ASSERT_TRUE(Access::worker(doc_).Start([this] { Run(); }));
  }
  // Lets the worker mix `count` frames in all and waits until it has; once every frame is
  // allowed, until the worker is done.
  void Allow(uint32_t count) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      allowed_ = std::max(allowed_, count);
      changed_.notify_all();
      changed_.wait(lock, [&] { return mixed_ >= std::min(allowed_, doc_.mixFrames()); });
      if (allowed_ < doc_.mixFrames()) return;
    }
    Access::worker(doc_).Wait();
  }
  uint32_t allowed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return allowed_;
  }

 private:
  void Run() {
    const uint32_t frames = doc_.mixFrames();
    uint8_t* mix = Access::mixBuffer(doc_).data();
    for (uint32_t n = 0; n < frames; ++n) {
      // As the kernel does: the cursor names the frame about to be mixed.
      const uint32_t f = (start_ + n) % frames;
      Access::mixCursor(doc_).store(f, std::memory_order_release);
      {
        std::unique_lock<std::mutex> lock(mutex_);
        mixed_ = n;
        changed_.notify_all();
        changed_.wait(lock, [&] { return n < allowed_; });
      }
      for (int side = 0; side < 2; ++side) {
        const auto v = static_cast<uint16_t>(Sample(f, side));
        mix[f * 4 + side * 2] = static_cast<uint8_t>(v);
        mix[f * 4 + side * 2 + 1] = static_cast<uint8_t>(v >> 8);
      }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    mixed_ = frames;
    changed_.notify_all();
  }

  CVelmoraDoc& doc_;
  uint32_t start_ = 0;
  bool started_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  uint32_t allowed_ = 0;
  uint32_t mixed_ = 0;
};

class TransportWorkerTest : public TransportTest {
 protected:
  // A mix whose buffer exists but holds nothing yet, built by `build` when Play asks.
  void MakeUnbuiltMix(uint32_t frames) {
    MakeMix(frames);
    std::memset(Access::mixBuffer(doc).data(), 0x55, doc.mixBuffer().size());
    doc.SetMixStale(true);
    transport.buildMix = [this](uint32_t, bool runInWorker) {
      EXPECT_TRUE(runInWorker);
      if (!doc.workerBusy() && doc.mixStale()) {
        doc.SetMixStale(false);
        build.Start(doc.position());
      }
      return MixBuild::Building;
    };
  }

  ScriptedBuild build{doc};
};

TEST_F(TransportWorkerTest, WorkerStillBuildingWhenPlayStarts) {
  const uint32_t frames = 300 * kBlock;
  const uint32_t start = 10 * kBlock + 5;
  MakeUnbuiltMix(frames);
  int waits = 0;
  transport.waitForMix = [&] {
    ++waits;
    build.Allow(build.allowed() + 50 * kBlock);
  };

  PlayFrom(start);
  EXPECT_EQ(waits, 3) << "Play starts once 128 blocks are mixed";
  EXPECT_EQ(device.lastIndex, 127u);
  EXPECT_EQ(form.At(ctl::kMakeMix).text, msg::kMakingMixCaption);
  EXPECT_FALSE(form.At(ctl::kMakeMix).enabled);
  EXPECT_FALSE(form.At(ctl::kLevel[0]).enabled);
  EXPECT_FALSE(form.At(ctl::kOffsetSpin[3]).enabled);
  EXPECT_TRUE(timers.Running(timer::kMixWatch));

  // 150 whole blocks and a part of the next are mixed: the part is not queued.
  build.Allow(150 * kBlock + 10);
  Advance(40 * kBlock);
  EXPECT_EQ(device.lastIndex, 149u);
  timers.Fire(timer::kMixWatch);
  EXPECT_EQ(form.At(ctl::kMakeMix).text, msg::kMakingMixCaption) << "still building";

  build.Allow(151 * kBlock);
  Advance(0);
  EXPECT_EQ(device.lastIndex, 150u);

  build.Allow(frames);
  timers.Fire(timer::kMixWatch);
  EXPECT_FALSE(timers.Running(timer::kMixWatch));
  EXPECT_EQ(form.At(ctl::kMakeMix).text, msg::kMakeMixCaption);
  EXPECT_TRUE(form.At(ctl::kPositionSlider).enabled);
  EXPECT_TRUE(form.At(ctl::kLevel[0]).enabled) << "channel 1 holds data";
  EXPECT_FALSE(form.At(ctl::kLevel[1]).enabled) << "channel 2 is empty";

  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(PlayedSound(frames - start), MixBytes(doc, start, frames - start));
}

TEST_F(TransportWorkerTest, WorkerReplayBeforeItsStartWaitsForTheWrap) {
  const uint32_t frames = 400 * kBlock;
  const uint32_t start = 200 * kBlock;
  MakeUnbuiltMix(frames);
  transport.waitForMix = [&] { build.Allow(build.allowed() + 150 * kBlock); };
  PlayFrom(start);
  transport.OnCommand(cmd::kStop);

  // From frame 0 the kernel must first finish the end of the mix and wrap.
  int waits = 0;
  transport.waitForMix = [&] {
    ++waits;
    build.Allow(build.allowed() + 100 * kBlock);
  };
  PlayFrom(kBlock / 2);
  EXPECT_GE(build.allowed(), 200 * kBlock + 128 * kBlock + kBlock / 2);
  EXPECT_EQ(waits, 2);
  EXPECT_EQ(device.lastIndex, 127u);
  played.clear();

  // Block 199 holds the build's start: its second piece comes last, after the wrap.
  build.Allow(frames - 20);
  Advance(100 * kBlock);
  EXPECT_EQ(device.lastIndex, 198u);
  build.Allow(frames);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(PlayedSound(frames - kBlock / 2), MixBytes(doc, kBlock / 2, frames - kBlock / 2));
}

// Loads a channel of `frames` 16-bit frames at 44100 Hz with a pattern of its own, as a load would.
void LoadPattern(CVelmoraDoc& doc, int index, int channels, uint32_t frames, int32_t offsetMs) {
  const uint32_t samples = frames * static_cast<uint32_t>(channels);
  std::vector<uint8_t> bytes(std::size_t{samples} * 2);
  for (uint32_t i = 0; i < samples; ++i) {
    const auto v =
        static_cast<uint16_t>(static_cast<int16_t>((i * (31 + index * 17)) % 40000 - 20000));
    bytes[std::size_t{2} * i] = static_cast<uint8_t>(v);
    bytes[std::size_t{2} * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  test::PutChannel(doc, index, {44100, channels, 16}, bytes);
  doc.SetOffset(index, offsetMs);
}

void LoadFourChannels(CVelmoraDoc& doc) {
  LoadPattern(doc, 0, 2, 44100 * 12, 0);
  LoadPattern(doc, 1, 1, 44100 * 10, 1500);
  LoadPattern(doc, 2, 2, 44100 * 11, -250);
  LoadPattern(doc, 3, 1, 44100 * 9, 3000);
}

// The document's own background build, played while it runs: every block that sounds is the
// inline mix's.
TEST_F(TransportTest, WorkerBuildOfLoadedChannelsPlaysAsTheInlineMix) {
  FakeUi referenceUi;
  CVelmoraDoc reference(referenceUi);
  LoadFourChannels(reference);
  ASSERT_EQ(reference.BuildMix(2048, false), MixBuild::Built);

  view.blockFrames = 2048;
  LoadFourChannels(doc);
  transport.waitForMix = [] { std::this_thread::yield(); };
  const uint32_t start = 44100 * 3 + 7;
  PlayFrom(start);
  ASSERT_EQ(doc.mixFrames(), reference.mixFrames());
  ASSERT_EQ(doc.transportState(), TransportState::Playing);
  // The virtual device plays far faster than real time, so it waits where a real one would
  // still have had seconds of queued blocks: it never takes more than is queued.
  for (int i = 0; i < 10000000 && timers.Running(timer::kPlayback); ++i) {
    const bool queuedAhead = device.cursor > device.doneCount.load() || device.lastBlockLength != 0;
    Advance(queuedAhead ? 1500 : 0);
    timers.Fire(timer::kMixWatch);
  }
  ASSERT_FALSE(timers.Running(timer::kPlayback));
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  doc.WaitForWorker(false);
  const uint32_t count = doc.mixFrames() - start;
  const uint8_t* expected = reference.mixBuffer().data() + std::size_t{start} * kFrameBytes;
  EXPECT_TRUE(PlayedSound(count) ==
              std::vector<uint8_t>(expected, expected + std::size_t{count} * kFrameBytes));
}

// ---- A rebuild while the mix plays ----

// The make-mix button while the mix plays: the output stops before the build, and the playback
// goes on with the new mix from the block that was sounding; every block then queued lies in the
// new mix (AddressSanitizer sees the old one freed under the device otherwise).
TEST_F(TransportTest, RebuildWhilePlayingPlaysOnWithTheNewMixFromTheSamePlace) {
  struct Case {
    const char* name;
    int32_t level;     // of channel 1
    int32_t offsetMs;  // of channel 2 (its end is the end of the mix)
    bool paused;
    bool playsOn;
  };
  const Case cases[] = {
      {"same length", 60, 500, false, true},
      {"longer", 100, 900, false, true},
      {"shorter", 100, 200, false, true},
      {"paused, shorter", 100, 200, true, true},
      {"shorter than where it had come", 100, -600, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi ui;
    CVelmoraDoc doc(ui);
    FakeForm form;
    FakeTimers timers;
    VirtualAudioBackend backend;
    WaveDevice device(backend);
    Transport transport(ViewContext{doc, ui, form, timers, view}, device);
    timers.SetHandler([&](int id) { transport.OnTimer(id); });
    LoadPattern(doc, 0, 2, 4410, 0);
    LoadPattern(doc, 1, 1, 4410, 500);  // the mix: 22050 + 4410 frames
    ASSERT_EQ(doc.BuildMix(kBlock, false), MixBuild::Built);
    doc.SetStartMark(30);
    form.SetPosition(ctl::kPositionSlider, 200);
    transport.OnCommand(cmd::kPlay);
    for (int step = 0; step < 3; ++step) {
      backend.AdvanceOutput(50 * kBlock);
      timers.Fire(timer::kPlayback);
    }
    backend.AdvanceOutput(9);  // into the next block
    const uint32_t sounding = 200 + 150 * kBlock;
    ASSERT_EQ(doc.position(), sounding);
    if (c.paused) transport.OnCommand(cmd::kPause);

    doc.SetLevel(0, c.level);
    doc.SetOffset(1, c.offsetMs);
    const int opens = backend.openCalls;
    EXPECT_EQ(transport.BuildMixNow(), MixBuild::Built);
    EXPECT_FALSE(doc.mixStale());
    EXPECT_TRUE(ui.messages.empty());

    if (!c.playsOn) {
      EXPECT_LT(doc.mixFrames(), sounding);
      EXPECT_EQ(doc.transportState(), TransportState::Stopped);
      EXPECT_FALSE(device.outputOpen);
      EXPECT_EQ(doc.position(), 30u);
      continue;
    }
    EXPECT_EQ(backend.openCalls, opens + 1) << "the output was closed and opened again";
    EXPECT_EQ(backend.OpenStreamCount(), 1);
    EXPECT_EQ(doc.transportState(), TransportState::Playing);
    EXPECT_EQ(transport.startFrame, sounding);
    EXPECT_EQ(doc.position(), sounding);
    const uint8_t* mixStart = doc.mixBuffer().data();
    const uint8_t* mixEnd = mixStart + doc.mixBuffer().size();
    for (uint32_t n = 0; n <= device.lastIndex; ++n) {
      EXPECT_TRUE(device.blockData[n] >= mixStart && device.blockData[n] < mixEnd) << n;
    }
    EXPECT_EQ(device.streamPaused, c.paused);
    EXPECT_EQ(timers.Running(timer::kPlayback), !c.paused);
    if (c.paused) {
      EXPECT_TRUE(transport.pausedPlayback);
      transport.OnCommand(cmd::kPause);
    }

    std::vector<uint8_t> heard;
    for (int i = 0; i < 100000 && timers.Running(timer::kPlayback); ++i) {
      const std::vector<uint8_t> bytes = backend.AdvanceOutput(50);
      heard.insert(heard.end(), bytes.begin(), bytes.end());
      timers.Fire(timer::kPlayback);
    }
    const uint32_t rest = doc.mixFrames() - sounding;
    ASSERT_GE(heard.size(), std::size_t{rest} * kFrameBytes);
    heard.resize(std::size_t{rest} * kFrameBytes);
    EXPECT_TRUE(heard == MixBytes(doc, sounding, rest)) << "the new mix from the same frame";
    EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  }
}

// The output that stopped for the rebuild does not open again: the transport stops, paused or
// not, with the start message, and the next Play plays.
TEST_F(TransportTest, RebuildWhoseOutputWillNotOpenAgainStops) {
  LoadPattern(doc, 0, 2, 4410, 0);
  ASSERT_EQ(doc.BuildMix(kBlock, false), MixBuild::Built);
  PlayFrom(100);
  Advance(kBlock);
  transport.OnCommand(cmd::kPause);
  doc.SetLevel(0, 80);
  backend.failOpens = 2;

  transport.BuildMixNow();

  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kPlaybackStartFailed});
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_FALSE(doc.paused());
  EXPECT_FALSE(transport.pausedPlayback);
  EXPECT_TRUE(form.At(ctl::kTuningButton).enabled);
  PlayFrom(0);
  EXPECT_EQ(doc.transportState(), TransportState::Playing);
}

// The sound thread against the user-interface thread's closes, opens and rebuilds: a callback
// thread pulls frames all the time while the mix is rebuilt in place, rebuilt with another
// length, rebuilt in the background by Play, and played again. ThreadSanitizer and
// AddressSanitizer watch that it never reads a mix being written or freed.
TEST_F(TransportTest, CallbackThreadNeverReadsAMixBeingRebuilt) {
  view.blockFrames = 512;
  // Long enough that the few ticks between the steps never play it to its end: the output is
  // running at every rebuild.
  LoadPattern(doc, 0, 2, 44100 * 20, 0);
  LoadPattern(doc, 1, 1, 44100 * 20, 300);  // its offset sets the length
  transport.waitForMix = [] { std::this_thread::yield(); };
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    while (!stop.load(std::memory_order_relaxed)) backend.AdvanceOutput(37);
  });
  const auto tick = [&] {
    for (int i = 0; i < 3; ++i) {
      timers.Fire(timer::kPlayback);
      timers.Fire(timer::kMixWatch);
      std::this_thread::yield();
    }
  };

  PlayFrom(1000);
  tick();
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(device.outputOpen);
    doc.SetLevel(0, 40 + round);  // same length: rewritten in place
    transport.BuildMixNow();
    tick();
    doc.SetOffset(1, 300 + 250 * (round % 3 + 1));  // another length: a new buffer
    transport.BuildMixNow();
    tick();
    doc.SetBalance(1, round);  // Play again after a change: a background build
    PlayFrom(2000);
    tick();
  }
  PlayFrom(44100 * 15);
  tick();
  doc.SetOffset(0, -18000);
  doc.SetOffset(1, -30000);  // the mix now ends before the playback had come: it stops
  transport.BuildMixNow();
  stop = true;
  audio.join();
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_FALSE(device.outputOpen);
  EXPECT_TRUE(ui.messages.empty());
  doc.WaitForWorker(false);
}

}  // namespace
}  // namespace velmora
