// Recording driven by hand: the recorder records from the virtual input into a channel, the test
// pushes known frames into the device and fires the timers, and compares the take with what it
// pushed.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "document/CommandRules.h"
#include "document/VelmoraDoc.h"
#include "io/Format.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "support/CaseName.h"
#include "support/DocumentFixture.h"
#include "support/StudioRig.h"
#include "view/DeviceMessages.h"

namespace velmora {
namespace {

constexpr uint32_t kBlock = 64;  // frames per recording block in these tests
constexpr uint32_t kRate = 44100;

// A non-repeating 16-bit sample for frame f and side s.
int16_t Signal(uint32_t f, int side) {
  return static_cast<int16_t>((f * 7919u + static_cast<uint32_t>(side) * 104729u) % 50000u) - 25000;
}

class RecorderTest : public ::testing::Test, protected test::StudioRig {
 protected:
  void SetUp() override {
    view.blockFrames = kBlock;
    view.recordBlockFrames = kBlock;
    view.recordRate = kRate;
    view.maxInputFormats = 0xFFFFF;
    recorder.options.simultaneousPlayback = false;
    recorder.showStatus = [this](const std::string& text) { status = text; };
    timers.SetHandler([this](int id) {
      transport.OnTimer(id);
      recorder.OnTimer(id);
    });
    transport.waitForMix = [] {};
  }
  void TearDown() override { ByteBuffer::SetFailAboveForTesting(0); }

  uint32_t FrameBytes() const { return view.recordChannels * view.recordBits / 8u; }

  // The bytes of input frames [first, first + count) of the test signal in the recording format.
  std::vector<uint8_t> SignalBytes(uint32_t first, uint32_t count) const {
    std::vector<uint8_t> bytes;
    for (uint32_t f = first; f < first + count; ++f) {
      for (int side = 0; side < view.recordChannels; ++side) {
        const int16_t s = Signal(f, side);
        if (view.recordBits == 16) {
          bytes.push_back(static_cast<uint8_t>(s));
          bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
        } else {
          bytes.push_back(static_cast<uint8_t>((s >> 8) + 128));
        }
      }
    }
    return bytes;
  }

  // Pushes the next `frames` frames of the signal into the input.
  void Feed(uint32_t frames) {
    backend.AdvanceInput(SignalBytes(fed, frames));
    fed += frames;
  }
  void Push(const std::vector<uint8_t>& bytes) { backend.AdvanceInput(bytes); }
  // Feeds `blocks` blocks, one recording tick after each.
  void Record(uint32_t blocks) {
    for (uint32_t b = 0; b < blocks; ++b) {
      Feed(kBlock);
      ASSERT_TRUE(timers.Fire(timer::kRecording));
    }
  }
  const ChannelSlot& Slot(int i) const { return doc.slot(i); }
  std::vector<uint8_t> Take(int i) const {
    return {Slot(i).data.data(), Slot(i).data.data() + Slot(i).data.size()};
  }
  // A 44100 Hz stereo channel in slot 0 and a current mix of `frames` frames.
  void LoadAndMix(uint32_t frames) {
    test::PutSilence(doc, 0, {}, frames);
    test::PutMix(doc, frames);
    doc.SetEndMark(frames - 1);
    form.SetRange(ctl::kPositionSlider, 0, static_cast<int>(frames));
  }

  uint32_t fed = 0;
  std::string status;
};

TEST_F(RecorderTest, RecordsIntoTheFirstEmptyChannelAndStopJoinsTheChunks) {
  test::PutSilence(doc, 0, {}, 1000);
  recorder.OnCommand(cmd::kRecord);
  EXPECT_EQ(doc.transportState(), TransportState::Recording);
  EXPECT_EQ(doc.recordChannel(), 1);
  EXPECT_EQ(timers.Interval(timer::kRecording), timer::kFirstRecordingTickMs);
  EXPECT_FALSE(form.At(ctl::kTuningButton).enabled);

  Record(300);  // three chunks, the last one partly filled
  EXPECT_EQ(timers.Interval(timer::kRecording), static_cast<int>(kBlock * 1000 / kRate));
  EXPECT_EQ(recorder.chunkCount(), 3u);
  EXPECT_EQ(doc.position(), 300 * kBlock);
  // Captured before the press but not yet taken by a tick: a whole block and a block not yet
  // filled, both part of the take.
  Feed(kBlock + kBlock / 2);
  transport.Stop();

  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_TRUE(form.At(ctl::kTuningButton).enabled);
  EXPECT_EQ(Take(1), SignalBytes(0, 301 * kBlock + kBlock / 2));
  EXPECT_EQ(Slot(1).frames, 301 * kBlock + kBlock / 2);
  EXPECT_EQ(Slot(1).Rate(), kRate);
  EXPECT_TRUE(Slot(1).IsStereo() && Slot(1).Is16Bit() && Slot(1).inUse && Slot(1).selected);
  EXPECT_TRUE(Slot(1).path.empty());
  EXPECT_EQ(Slot(1).level, Slot(1).autoLevel);
  EXPECT_EQ(Slot(1).balance, 10);
  EXPECT_EQ(recorder.chunkCount(), 0u);
  EXPECT_EQ(doc.position(), 0u);
  EXPECT_TRUE(doc.mixStale());
  EXPECT_TRUE(doc.IsModified());
  EXPECT_TRUE(ui.messages.empty()) << ui.Texts().front();
}

TEST_F(RecorderTest, AStoredTakeIsOneStepThatUndoTakesOutAndRedoPutsBack) {
  test::PutSilence(doc, 0, {}, 1000);
  recorder.OnCommand(cmd::kRecord);
  Record(10);
  transport.Stop();
  const std::vector<uint8_t> take = Take(1);
  ASSERT_FALSE(take.empty());
  EXPECT_EQ(doc.history().UndoName(), "録音 (Ch2)");

  ASSERT_TRUE(doc.Undo());
  EXPECT_FALSE(Slot(1).HasData());
  EXPECT_TRUE(Slot(0).HasData());
  ASSERT_TRUE(doc.Redo());
  EXPECT_EQ(Take(1), take);
  EXPECT_TRUE(Slot(1).path.empty()) << "still a take no file holds";
}

TEST_F(RecorderTest, ExactlyOneHundredTwentyEightBlocksFillOneChunk) {
  recorder.Record();
  Record(128);
  transport.Stop();
  EXPECT_EQ(Take(0), SignalBytes(0, 128 * kBlock));
}

TEST_F(RecorderTest, TakeOffsetIsWhereTheRecordingStartedInTheMix) {
  struct Case {
    const char* name;
    bool mix;
    uint32_t position;
    int32_t offset;
  };
  for (const Case& c : {Case{"no mix: rate 0 gives offset 0", false, 5000, 0},
                        Case{"one second into a 44100 Hz mix", true, 44100, 1000},
                        Case{"truncated", true, 100, 2}}) {
    SCOPED_TRACE(c.name);
    CVelmoraDoc d{ui};
    Studio studio{test::SeamsOnFakes(d, ui, form, timers, backend, countdown, dialogs), view};
    Transport& t = studio.transport();
    Recorder& r = studio.recorder();
    r.options.simultaneousPlayback = false;
    timers.SetHandler([&](int id) { r.OnTimer(id); });
    if (c.mix) test::PutMix(d, 100000);
    d.SetPosition(c.position);
    r.Record();
    Record(2);
    t.Stop();
    EXPECT_EQ(d.slot(0).offset, c.offset);
    EXPECT_EQ(d.position(), c.position);
  }
}

TEST_F(RecorderTest, AllSlotsFullShowsTheMessageAndStartsNothing) {
  for (int i = 0; i < 4; ++i) test::PutSilence(doc, i, {}, 10);
  recorder.Record();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kNoFreeChannel});
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_EQ(backend.openCalls, 0);
}

TEST_F(RecorderTest, InputThatDoesNotOpenEndsTheRecordingWithItsMessage) {
  backend.failOpens = 1;
  recorder.Record();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kRecordStartFailed});
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_TRUE(form.At(ctl::kTuningButton).enabled);
}

TEST_F(RecorderTest, SimultaneousPlaybackWithNothingLoadedPlaysNothing) {
  recorder.options.simultaneousPlayback = true;
  recorder.Record();
  EXPECT_FALSE(recorder.simultaneousActive());
  EXPECT_EQ(backend.LastStream(StreamDirection::Output), nullptr);
  EXPECT_TRUE(recordDevice.inputOpen);
}

TEST_F(RecorderTest, SimultaneousPlaybackStartsWithTheInputAndEndsWithStop) {
  LoadAndMix(50000);
  recorder.options.simultaneousPlayback = true;
  recorder.Record();
  EXPECT_TRUE(recorder.simultaneousActive());
  ASSERT_TRUE(playDevice.outputOpen);
  EXPECT_FALSE(playDevice.streamPaused);
  EXPECT_TRUE(timers.Running(timer::kPlayback));
  Record(3);
  transport.Stop();
  EXPECT_FALSE(playDevice.outputOpen);
  EXPECT_FALSE(timers.Running(timer::kPlayback));
  EXPECT_EQ(Slot(1).frames, 3 * kBlock);
}

struct CountdownCase {
  const char* name;
  int seconds;
  std::vector<int> beepsAt;  // seconds left when a beep starts
};
void PrintTo(const CountdownCase& c, std::ostream* os) {
  *os << c.name;
}

class RecorderCountdownTest : public RecorderTest,
                              public ::testing::WithParamInterface<CountdownCase> {};

TEST_P(RecorderCountdownTest, BeepsInTheLastThreeSecondsThenRecords) {
  const CountdownCase& c = GetParam();
  recorder.options.selfTimerSeconds = c.seconds;
  recorder.options.beepBeforeStart = true;
  status = "録音終了";  // the last take's
  recorder.Record();
  EXPECT_EQ(form.GetText(ctl::kPositionTime), Format("-00:%02d.000", c.seconds));
  EXPECT_EQ(status, Format(msg::kCountdownStatus, c.seconds));
  EXPECT_TRUE(doc.paused());
  EXPECT_TRUE(recorder.countdownActive());

  std::vector<int> beeps;
  const auto beepOpen = [&] {
    const VirtualStreamState* out = backend.LastStream(StreamDirection::Output);
    return out != nullptr && out->open && out->format.samplesPerSec == 44100 &&
           out->format.bitsPerSample == 8 && out->format.channels == 1;
  };
  for (int left = c.seconds; left > 0; --left) {
    if (beepOpen()) beeps.push_back(left);
    Feed(kBlock);  // discarded: the input has not started
    if (timers.Running(timer::kToneAndBeep)) {
      EXPECT_EQ(timers.Interval(timer::kToneAndBeep), timer::kBeepCheckMs);
      timers.Fire(timer::kToneAndBeep);
      EXPECT_FALSE(beepOpen());  // cut after 200 ms
    }
    timers.Fire(timer::kCountdown);
    if (left > 1) {
      EXPECT_EQ(status, Format(msg::kCountdownStatus, left - 1));
    }
  }
  EXPECT_EQ(status, Format(msg::kRecordingStatus, 0));
  EXPECT_EQ(beeps, c.beepsAt);
  std::vector<int> numbers;
  for (int n = c.seconds; n > 0; --n) numbers.push_back(n);
  EXPECT_EQ(countdown.numbers, numbers);
  EXPECT_FALSE(countdown.shown);
  EXPECT_FALSE(recorder.countdownActive());
  EXPECT_FALSE(doc.paused());
  EXPECT_FALSE(timers.Running(timer::kCountdown));
  EXPECT_EQ(timers.Interval(timer::kRecording), timer::kFirstRecordingTickMs);

  const uint32_t first = fed;
  Record(2);
  transport.Stop();
  EXPECT_EQ(Take(0), SignalBytes(first, 2 * kBlock));
}

INSTANTIATE_TEST_SUITE_P(SelfTimer, RecorderCountdownTest,
                         ::testing::Values(CountdownCase{"TwoSeconds", 2, {2, 1}},
                                           CountdownCase{"FiveSeconds", 5, {3, 2, 1}}),
                         test::CaseName());

TEST_F(RecorderTest, CountdownWithBeepsArmsThePlaybackAfterTheLastBeep) {
  LoadAndMix(50000);
  recorder.options.simultaneousPlayback = true;
  recorder.options.selfTimerSeconds = 2;
  recorder.options.beepBeforeStart = true;
  recorder.Record();
  EXPECT_TRUE(recorder.simultaneousActive());
  timers.Fire(timer::kToneAndBeep);
  timers.Fire(timer::kCountdown);    // 1 left: the last beep
  timers.Fire(timer::kToneAndBeep);  // its end arms the mix, paused
  const VirtualStreamState* out = backend.LastStream(StreamDirection::Output);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->format.bitsPerSample, 16);
  EXPECT_EQ(out->format.channels, 2);
  EXPECT_TRUE(playDevice.outputOpen);
  EXPECT_TRUE(playDevice.streamPaused);
  timers.Fire(timer::kCountdown);  // 0: input and playback start together
  EXPECT_FALSE(playDevice.streamPaused);
  EXPECT_TRUE(timers.Running(timer::kPlayback));
  EXPECT_TRUE(timers.Running(timer::kRecording));
}

TEST_F(RecorderTest, StopDuringTheCountdownStoresNothing) {
  doc.SetPosition(1234);
  recorder.options.selfTimerSeconds = 5;
  recorder.Record();
  timers.Fire(timer::kCountdown);
  transport.Stop();
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_FALSE(Slot(0).HasData());
  EXPECT_EQ(doc.position(), 1234u);
  EXPECT_FALSE(countdown.shown);
  EXPECT_FALSE(timers.Running(timer::kCountdown));
  EXPECT_FALSE(recordDevice.inputOpen);
}

struct AutoStartCase {
  const char* name;
  uint16_t bits;
  uint16_t channels;
  int quiet;  // largest magnitude of the discarded blocks
  int loud;   // the one sample that starts the take
};
void PrintTo(const AutoStartCase& c, std::ostream* os) {
  *os << c.name;
}

class RecorderAutoStartTest : public RecorderTest,
                              public ::testing::WithParamInterface<AutoStartCase> {};

TEST_P(RecorderAutoStartTest, StartsWithTheFirstBlockAtTheLevel) {
  const AutoStartCase& c = GetParam();
  view.recordBits = c.bits;
  view.recordChannels = c.channels;
  recorder.options.autoStartLevel = 10;
  recorder.Record();
  EXPECT_TRUE(doc.paused());
  const uint32_t blockBytes = kBlock * FrameBytes();
  const auto block = [&](int magnitude, uint32_t at) {
    std::vector<uint8_t> b(blockBytes, c.bits == 8 ? 128 : 0);
    if (c.bits == 16) {
      const auto v = static_cast<uint16_t>(-magnitude);
      b[at * 2] = static_cast<uint8_t>(v);
      b[at * 2 + 1] = static_cast<uint8_t>(v >> 8);
    } else {
      b[at] = static_cast<uint8_t>(128 - magnitude);
    }
    return b;
  };
  EXPECT_EQ(status, Format(msg::kWaitingForLevelStatus, 10));
  Push(block(c.quiet, 5));
  Push(block(c.quiet, 9));
  timers.Fire(timer::kRecording);
  EXPECT_TRUE(doc.paused());
  EXPECT_EQ(recorder.recordedFrames(), 0u);
  EXPECT_EQ(status, Format(msg::kWaitingForLevelStatus, 10));
  const std::vector<uint8_t> loud = block(c.loud, 17);
  Push(block(c.quiet, 1));
  Push(loud);
  Push(block(0, 0));
  timers.Fire(timer::kRecording);
  EXPECT_FALSE(doc.paused());
  EXPECT_EQ(status, Format(msg::kRecordingStatus, 0));
  transport.Stop();
  std::vector<uint8_t> expected = loud;
  const std::vector<uint8_t> after = block(0, 0);
  expected.insert(expected.end(), after.begin(), after.end());
  EXPECT_EQ(Take(0), expected);
}

INSTANTIATE_TEST_SUITE_P(TenPercent, RecorderAutoStartTest,
                         ::testing::Values(AutoStartCase{"Stereo16", 16, 2, 3275, 3276},
                                           AutoStartCase{"Mono8", 8, 1, 11, 12}),
                         test::CaseName());

TEST_F(RecorderTest, PauseBeforeRecordWaitsForPause) {
  transport.TogglePause();
  recorder.Record();
  Record(3);
  EXPECT_EQ(recorder.recordedFrames(), 0u);
  int peak = 0;
  for (uint32_t f = fed - kBlock; f < fed; ++f) peak = std::max(peak, std::abs(Signal(f, 0)));
  EXPECT_EQ(form.GetPosition(ctl::kMeterLeft), peak * 100 / 32768)
      << "the meters follow the input while it is discarded";
  transport.TogglePause();
  const uint32_t first = fed;
  Record(2);
  transport.Stop();
  EXPECT_EQ(Take(0), SignalBytes(first, 2 * kBlock));
}

TEST_F(RecorderTest, MetersShowTheLastBlocksPeakPerSide) {
  struct Case {
    uint16_t bits;
    uint16_t channels;
    std::vector<int> peaks;  // per side, as magnitudes of the format
    int left;
    int right;
  };
  for (const Case& c : {Case{16, 2, {16384, 8192}, 50, 25}, Case{8, 1, {64}, 50, 50},
                        Case{8, 2, {127, 32}, 99, 25}}) {
    view.recordBits = c.bits;
    view.recordChannels = c.channels;
    recorder.Record();
    std::vector<uint8_t> b(kBlock * FrameBytes(), c.bits == 8 ? 128 : 0);
    for (int side = 0; side < c.channels; ++side) {
      const uint32_t at = 3 * c.channels + side;
      if (c.bits == 16) {
        b[at * 2] = static_cast<uint8_t>(c.peaks[side]);
        b[at * 2 + 1] = static_cast<uint8_t>(c.peaks[side] >> 8);
      } else {
        b[at] = static_cast<uint8_t>(128 + c.peaks[side]);
      }
    }
    Push(b);
    timers.Fire(timer::kRecording);
    EXPECT_EQ(form.GetPosition(ctl::kMeterLeft), c.left);
    EXPECT_EQ(form.GetPosition(ctl::kMeterRight), c.right);
    transport.Stop();
    doc.ReleaseChannel(0);
  }
}

// What the input still has on the way at the press, more than the ring takes at once, is all
// part of the take.
TEST_F(RecorderTest, StopTakesEverythingCapturedBeforeThePressThoughItPassesTheRing) {
  recorder.Record();
  Record(2);
  backend.inputOnTheWay = SignalBytes(fed, 300 * kBlock + 7);
  fed += 300 * kBlock + 7;
  transport.Stop();
  EXPECT_EQ(Take(0), SignalBytes(0, 302 * kBlock + 7));
  EXPECT_EQ(recorder.lostFrames(), 0u);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RecorderTest, AStalledTickBelowTheRingLosesNothing) {
  recorder.Record();
  Feed(127 * kBlock);
  timers.Fire(timer::kRecording);
  Record(3);
  transport.Stop();
  EXPECT_EQ(Take(0), SignalBytes(0, 130 * kBlock));
  EXPECT_EQ(recorder.lostFrames(), 0u);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RecorderTest, AStallBeyondTheRingIsCountedAndFilledWithSilence) {
  recorder.Record();
  Record(1);
  Feed(130 * kBlock);  // the ring holds 128: the last two blocks find no room
  EXPECT_TRUE(status.find("0") != std::string::npos);
  timers.Fire(timer::kRecording);
  EXPECT_EQ(status, Format(msg::kRecordingStatus, 2 * kBlock));
  Record(2);
  transport.Stop();

  std::vector<uint8_t> expected = SignalBytes(0, 129 * kBlock);
  expected.resize(expected.size() + 2 * kBlock * FrameBytes(), 0);
  const std::vector<uint8_t> after = SignalBytes(131 * kBlock, 2 * kBlock);
  expected.insert(expected.end(), after.begin(), after.end());
  EXPECT_EQ(Take(0), expected);
  EXPECT_EQ(Slot(0).frames, fed) << "the take stays in time with the input";
  EXPECT_EQ(recorder.lostFrames(), 2 * kBlock);
  ASSERT_EQ(recorder.dropouts().size(), 1u);
  EXPECT_EQ(recorder.dropouts()[0].frame, 129 * kBlock);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_NE(ui.messages[0].text.find("128 フレーム"), std::string::npos) << ui.messages[0].text;
  EXPECT_NE(ui.messages[0].text.find("00:00.187"), std::string::npos) << ui.messages[0].text;
}

TEST_F(RecorderTest, SoundSystemOverflowIsFilledWithSilenceWhereTheFramesWereLost) {
  for (const uint32_t before : {0u, kBlock / 2}) {
    SCOPED_TRACE(before);
    fed = 0;
    recorder.Record();
    Record(2);
    Feed(before);
    backend.OverflowInput(100);
    Feed(kBlock - before);
    timers.Fire(timer::kRecording);
    transport.Stop();
    std::vector<uint8_t> expected = SignalBytes(0, 2 * kBlock + before);
    expected.resize(expected.size() + 100 * FrameBytes(), 0);
    const std::vector<uint8_t> after = SignalBytes(2 * kBlock + before, kBlock - before);
    expected.insert(expected.end(), after.begin(), after.end());
    EXPECT_EQ(Take(0), expected);
    EXPECT_EQ(recorder.lostFrames(), 100u);
    ASSERT_EQ(recorder.dropouts().size(), 1u);
    EXPECT_EQ(recorder.dropouts()[0].frame, 2 * kBlock + before);
    doc.ReleaseChannel(0);
    ui.messages.clear();
  }
}

TEST_F(RecorderTest, AFailedChunkStopsCollectionAndStopKeepsWhatWasCollected) {
  recorder.Record();
  Record(128);
  ByteBuffer::SetFailAboveForTesting(1000);  // the next chunk cannot be had
  Feed(kBlock);
  timers.Fire(timer::kRecording);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kBufferFailed});
  EXPECT_FALSE(timers.Running(timer::kRecording));
  ByteBuffer::SetFailAboveForTesting(0);
  transport.Stop();
  EXPECT_EQ(Take(0), SignalBytes(0, 128 * kBlock));
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
}

TEST_F(RecorderTest, NoMemoryForTheSlotKeepsTheRecordingUntilAFurtherStop) {
  recorder.Record();
  Record(4);
  ByteBuffer::SetFailAboveForTesting(100);
  transport.Stop();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kBufferFailed});
  EXPECT_EQ(doc.transportState(), TransportState::Recording);
  EXPECT_EQ(recorder.chunkCount(), 1u);
  ByteBuffer::SetFailAboveForTesting(0);
  transport.Stop();
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_EQ(Take(0), SignalBytes(0, 4 * kBlock));
}

TEST_F(RecorderTest, ADeadInputEndsTheRecordingKeepingWhatWasCollected) {
  recorder.Record();
  Record(3);
  backend.FailStreams(-9999);
  timers.Fire(timer::kRecording);
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_EQ(Take(0), SignalBytes(0, 3 * kBlock));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{Format(msg::kWaveInError, -9999)});
}

TEST_F(RecorderTest, AnInputThatDiesBetweenTwoLooksIsToldOnce) {
  recorder.Record();
  Record(3);
  Feed(kBlock);
  backend.failOnLook = 2;  // the tick's health check passes, the hand-back finds it dead
  timers.Fire(timer::kRecording);
  timers.Fire(timer::kRecording);
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_EQ(Take(0), SignalBytes(0, 4 * kBlock));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{Format(msg::kWaveInError, -9999)});
}

TEST_F(RecorderTest, TakeAlongThePlaybackIsMovedEarlierByTheLatency) {
  struct Case {
    const char* name;
    uint32_t position;
    int32_t offset;
    uint32_t cut;  // lead-in frames before the mix began sounding
  };
  backend.outputLatency = 0.030;
  backend.inputLatency = 0.010;
  for (const Case& c : {Case{"one second in", 44100, 960, 0},
                        Case{"from the start: the lead-in is cut", 0, 0, 1764}}) {
    SCOPED_TRACE(c.name);
    doc.OnNewDocument();
    LoadAndMix(200000);
    recorder.options.simultaneousPlayback = true;
    form.SetPosition(ctl::kPositionSlider, static_cast<int>(c.position));
    doc.SetPosition(c.position);
    fed = 0;
    recorder.Record();
    Record(40);
    transport.Stop();
    EXPECT_EQ(Slot(1).offset, c.offset);
    EXPECT_EQ(Take(1), SignalBytes(c.cut, 40 * kBlock - c.cut));
    EXPECT_DOUBLE_EQ(recorder.appliedLatencyMs(), 40.0);
    EXPECT_EQ(status, Format(msg::kRecordedStatus, 40.0));
  }
}

// Recording along the mix moves the position slider with the take; the take leaves the end mark
// unset, and the first press of the end-mark command sets it.
TEST_F(RecorderTest, TheSliderFollowsATakeAlongTheMixAndTheEndMarkIsThereToSet) {
  LoadAndMix(200000);
  recorder.options.simultaneousPlayback = true;
  view.recordRate = 22050;  // a take at half the mix's rate
  form.SetPosition(ctl::kPositionSlider, 44100);
  doc.SetPosition(44100);
  recorder.Record();
  Record(10);
  EXPECT_EQ(form.GetPosition(ctl::kPositionSlider), static_cast<int>(44100 + 2 * 10 * kBlock));
  EXPECT_EQ(doc.position(), 44100 + 2 * 10 * kBlock);
  transport.Stop();
  EXPECT_EQ(form.GetPosition(ctl::kPositionSlider), 44100);

  EXPECT_EQ(doc.endMark(), 0u);
  EXPECT_EQ(QueryCommandState(doc, cmd::kEndMark).check, CheckMark::Off);
  test::PutMix(doc, 200000);  // made again
  transport.OnCommand(cmd::kEndMark);
  EXPECT_EQ(doc.endMark(), 44100 + view.blockFrames - 1);
  EXPECT_EQ(QueryCommandState(doc, cmd::kEndMark).check, CheckMark::On);
}

TEST_F(RecorderTest, ATakeMarksTheMixStaleAfterABuildRunningAlongTheRecording) {
  // A stale mix: Play starts a background build when the recording starts.
  test::PutSilence(doc, 0, {}, 400000);
  recorder.options.simultaneousPlayback = true;
  recorder.Record();
  Record(2);
  transport.Stop();
  doc.WaitForWorker(false);
  EXPECT_TRUE(doc.mixStale()) << "the build of the old channels must not make the mix current";
}

}  // namespace
}  // namespace velmora
