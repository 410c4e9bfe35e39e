// The tuning tone and the countdown beep through the virtual device: the tests click the button,
// advance the device and fire timer::kToneAndBeep by hand, and compare what came out with the
// buffers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/VirtualAudioBackend.h"
#include "audio/WaveDevice.h"
#include "document/VelmoraDoc.h"
#include "seams/ControlIds.h"
#include "support/FakeForm.h"
#include "support/FakeTimers.h"
#include "support/FakeUi.h"
#include "support/StudioRig.h"
#include "transport/Transport.h"
#include "transport/TuningTone.h"
#include "view/ViewSettings.h"

namespace velmora {
namespace {

using test::FakeForm;
using test::FakeTimers;
using test::FakeUi;

constexpr uint32_t kBlock = 64;  // frames per transport block: a 8192-sample loop

class TuningToneTest : public ::testing::Test, protected test::StudioRig {
 protected:
  void SetUp() override {
    view.blockFrames = kBlock;
    timers.SetHandler([this](int id) { tone.OnTimer(id); });
    form.SetText(ctl::kTuningButton, TuningPlayCaption(view.tuningHz));
  }

  void Click() { tone.OnButton(); }

  // Pulls `frames` out of the device in steps, with a tick of timer::kToneAndBeep after each step.
  std::vector<uint8_t> Play(uint32_t frames, uint32_t step = 1000) {
    std::vector<uint8_t> out;
    while (out.size() < frames) {
      const uint32_t n = std::min<uint32_t>(step, frames - static_cast<uint32_t>(out.size()));
      const std::vector<uint8_t> bytes = backend.AdvanceOutput(n);
      out.insert(out.end(), bytes.begin(), bytes.end());
      timers.Fire(timer::kToneAndBeep);
    }
    return out;
  }
};

TEST(TuningToneSamples, SineWithWholeDegreeFadesAtBothEnds) {
  const std::vector<uint8_t> tone = MakeTuningTone(440, 2048 * 128);
  ASSERT_EQ(tone.size(), 262144u);
  EXPECT_EQ(tone[0], 128);
  // 25 x 360 / 100.227 = 89.8 degrees: 64 sin -> 63; fade sin(5 degrees) -> 5.
  EXPECT_EQ(tone[25], 133);
  // Past the fade: sample 1000 is at 3591.9 degrees, sin = -0.1411 -> trunc(-9.03) = -9.
  EXPECT_EQ(tone[1000], 119);
  // The whole range of the sine is used, never beyond 64 either way.
  const auto [low, high] = std::minmax_element(tone.begin(), tone.end());
  EXPECT_EQ(*low, 128 - 63);  // truncation toward zero never reaches -64 exactly
  EXPECT_EQ(*high, 128 + 63);
  // The last samples fade to silence: the final one has its fade at sin(179 degrees) or more.
  for (size_t i = tone.size() - 5; i < tone.size(); ++i) EXPECT_NEAR(tone[i], 128, 2) << i;
}

TEST(TuningToneSamples, CountdownBeepFallsFrom64ToSilence) {
  const std::vector<uint8_t> beep = MakeCountdownBeep();
  ASSERT_EQ(beep.size(), kCountdownBeepSamples);
  EXPECT_EQ(beep[0], 128);
  // Sample 11 of a 1000 Hz sine at 44100 Hz: sin(2 pi 11 / 44.1) = 0.99998, envelope 0.9987.
  EXPECT_EQ(beep[11], 191);
  int lastPeak = 0;
  for (size_t i = beep.size() - 441; i < beep.size(); ++i) {
    lastPeak = std::max(lastPeak, std::abs(beep[i] - 128));
  }
  EXPECT_LE(lastPeak, 1) << "the last 10 ms are silent";
}

TEST_F(TuningToneTest, TheBufferLoopsEndToEndThroughTheDevice) {
  Click();
  ASSERT_EQ(doc.transportState(), TransportState::TuningTone);
  ASSERT_EQ(tone.toneBuffer().size(), kBlock * 128);
  const std::vector<uint8_t> loop = tone.toneBuffer();
  std::vector<uint8_t> twice = loop;
  twice.insert(twice.end(), loop.begin(), loop.end());

  const std::vector<uint8_t> played = Play(2 * kBlock * 128, 700);

  EXPECT_TRUE(played == twice) << "the tone is the buffer, twice, with nothing dropped";
  const VirtualStreamState* stream = backend.LastStream(StreamDirection::Output);
  EXPECT_EQ(stream->format.samplesPerSec, 44100u);
  EXPECT_EQ(stream->format.bitsPerSample, 8);
  EXPECT_EQ(stream->format.channels, 1);
  EXPECT_TRUE(stream->planned) << "the loop sits on a deep device buffer";
  EXPECT_FALSE(device.plannedOutput) << "the next playback opens quick again";
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TuningToneTest, ButtonStartsAndStopsByItsCaption) {
  view.tuningHz = 415;
  form.SetText(ctl::kTuningButton, TuningPlayCaption(415));
  Click();
  EXPECT_EQ(doc.transportState(), TransportState::TuningTone);
  EXPECT_EQ(form.GetText(ctl::kTuningButton), "415Hz停止");
  EXPECT_FALSE(form.At(ctl::kTuningSpin).enabled);
  EXPECT_EQ(timers.Interval(timer::kToneAndBeep), timer::kToneRefillMs);
  EXPECT_TRUE(device.outputOpen);

  Click();
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_EQ(form.GetText(ctl::kTuningButton), "415Hz再生");
  EXPECT_TRUE(form.At(ctl::kTuningSpin).enabled);
  EXPECT_FALSE(timers.Running(timer::kToneAndBeep));
  EXPECT_FALSE(device.outputOpen);
  EXPECT_TRUE(tone.toneBuffer().empty());
}

TEST_F(TuningToneTest, EveryArrowClickIsOneHertzWithinTheLimits) {
  struct Case {
    int32_t from;
    int direction;
    int32_t to;
  };
  const Case cases[] = {{440, +1, 441}, {440, -1, 439},     {2, -1, 1},
                        {1, -1, 1},     {22050, +1, 22050}, {22049, +1, 22050}};
  for (const Case& c : cases) {
    view.tuningHz = c.from;
    tone.OnArrow(c.direction);
    EXPECT_EQ(view.tuningHz, c.to) << c.from << " " << c.direction;
    EXPECT_EQ(form.GetText(ctl::kTuningButton), TuningPlayCaption(c.to));
  }
}

TEST_F(TuningToneTest, NothingSoundsWhenTheStartIsRefused) {
  // A paused playback holds the device: nothing at all.
  transport.pausedPlayback = true;
  Click();
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_EQ(backend.openCalls, 0);
  EXPECT_TRUE(ui.messages.empty());
  transport.pausedPlayback = false;

  // A refused open is silent and changes nothing.
  backend.failOpens = 2;
  Click();
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_EQ(form.GetText(ctl::kTuningButton), "440Hz再生");
  EXPECT_FALSE(timers.Running(timer::kToneAndBeep));
  EXPECT_TRUE(ui.messages.empty());
}

TEST(TuningToneWithoutSound, ReportsTheDeviceLayerThatDidNotStart) {
  FakeUi ui;
  CVelmoraDoc doc{ui};
  FakeForm form;
  FakeTimers timers;
  ViewSettings view;
  VirtualAudioBackend backend;
  backend.initialised = false;
  WaveDevice device{backend};
  Transport transport{ViewContext{doc, ui, form, timers, view}, device};
  TuningTone tone{ViewContext{doc, ui, form, timers, view}, device, transport};
  form.SetText(ctl::kTuningButton, "440Hz再生");
  tone.OnButton();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"再生処理の初期化に失敗しました！"});
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_FALSE(tone.PlayCountdownBeep());
}

TEST_F(TuningToneTest, ADeadStreamEndsTheToneWithTheDeviceMessage) {
  Click();
  Play(1000);
  backend.FailStreams(-9999);
  timers.Fire(timer::kToneAndBeep);
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_EQ(form.GetText(ctl::kTuningButton), "440Hz再生");
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"waveOutW Error - -9999"});
}

TEST_F(TuningToneTest, TheCountdownBeepIsOneBlockOnTheToneFormat) {
  // The recorder's entry, and the button while a countdown runs, play the same beep.
  for (const bool viaButton : {false, true}) {
    SCOPED_TRACE(viaButton ? "button during a countdown" : "PlayCountdownBeep");
    tone.countdownActive = [] { return true; };
    if (viaButton) {
      Click();
    } else {
      ASSERT_TRUE(tone.PlayCountdownBeep());
    }
    EXPECT_EQ(device.lastIndex, 0u);
    EXPECT_EQ(device.lastBlockLength, kCountdownBeepSamples);
    EXPECT_EQ(timers.Interval(timer::kToneAndBeep), timer::kBeepCheckMs);
    EXPECT_EQ(doc.transportState(), TransportState::Stopped) << "the beep is no tone";
    EXPECT_FALSE(backend.LastStream(StreamDirection::Output)->planned) << "heard at once";
    const std::vector<uint8_t> played = backend.AdvanceOutput(kCountdownBeepSamples + 100);
    std::vector<uint8_t> expected = MakeCountdownBeep();
    expected.resize(kCountdownBeepSamples + 100, 128);
    EXPECT_TRUE(played == expected);
    // The ticks of timer::kToneAndBeep during a countdown are the recorder's: the tone leaves the
    // device alone.
    timers.Fire(timer::kToneAndBeep);
    EXPECT_EQ(device.lastIndex, 0u);
    device.ClosePlayback();
    timers.Kill(timer::kToneAndBeep);
  }
}

TEST_F(TuningToneTest, TheViewGoingStopsASoundingTone) {
  Click();
  tone.OnDestroy();
  EXPECT_FALSE(device.outputOpen);
  EXPECT_FALSE(timers.Running(timer::kToneAndBeep));
  EXPECT_TRUE(tone.toneBuffer().empty());
  EXPECT_EQ(backend.OpenStreamCount(), 0);
}

}  // namespace
}  // namespace velmora
