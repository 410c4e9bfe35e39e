// The metronome driven by hand: the test sets the dialog's controls in a fake form, presses the
// button, advances the virtual device and fires timer 7, and compares the stream with clicks
// placed at their exact sample positions, and the beat display with the beats.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/VirtualAudioBackend.h"
#include "metronome/ClickSound.h"
#include "metronome/Metronome.h"
#include "seams/BeatDisplay.h"
#include "support/FakeForm.h"
#include "support/FakeTimers.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

using test::FakeForm;
using test::FakeTimers;
using test::FakeUi;

struct Drawn {
  int side = 0;
  std::string text;
  uint32_t background = 0;
  int fontHeight = 0;
};

class RecordingBeatDisplay : public BeatDisplay {
 public:
  void Show(int side, const std::string& text, uint32_t background, int fontHeight) override {
    shown.push_back({side, text, background, fontHeight});
    visible = true;
  }
  void Hide() override { visible = false; }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Drawn& d : shown) texts.push_back(d.text);
    return texts;
  }
  std::vector<Drawn> shown;
  bool visible = false;
};

constexpr int kDisplayHeight = 150;  // the display window's height as made from its template
constexpr int kWorkAreaHeight = 1000;

// The stream a run should give: silence with each click copied in at its start sample.
std::vector<uint8_t> ExpectedStream(size_t samples, int32_t tempo, int32_t beatsPerBar, bool chime,
                                    double amplitude) {
  const std::vector<uint8_t> normal = MakeClick(kNormalClickPeriod, amplitude);
  const std::vector<uint8_t> accent = MakeClick(kAccentClickPeriod, amplitude);
  std::vector<uint8_t> stream(samples, 128);
  const int32_t intervalMs = 60000 / tempo;     // whole milliseconds
  const double interval = intervalMs * 11.025;  // samples, exactly
  for (uint64_t k = 0;; ++k) {
    const auto start = static_cast<size_t>(static_cast<double>(k) * interval + 1e-9);
    if (start >= samples) break;
    const std::vector<uint8_t>& click = (chime && k % beatsPerBar == 0) ? accent : normal;
    for (size_t i = 0; i < click.size() && start + i < samples; ++i) stream[start + i] = click[i];
  }
  return stream;
}

class MetronomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    timers.SetHandler([this](int id) { metronome.OnTimer(id); });
    form.SetText(metctl::kStartStop, msg::kStartCaption);
    metronome.OnInitDialog(kDisplayHeight, kWorkAreaHeight);
  }

  void Settings(int32_t tempo, int32_t beats, bool chime, int32_t volume) {
    form.Type(metctl::kTempoEdit, std::to_string(tempo));
    metronome.OnTempoEdited();
    form.Type(metctl::kBeatsEdit, std::to_string(beats));
    metronome.OnBeatsEdited();
    if ((metronome.chime != 0) != chime) metronome.OnChimeClicked();
    form.Drag(metctl::kVolume, volume);
    metronome.OnVolumeMoved();
  }

  void Press() { metronome.OnStartStop(); }

  // Pulls `samples` out of the stream in uneven steps, with a tick of timer 7 after each.
  std::vector<uint8_t> Run(size_t samples) {
    std::vector<uint8_t> out;
    const uint32_t steps[] = {441, 1000, 97, 2300};
    for (size_t i = 0; out.size() < samples; ++i) {
      const auto n = static_cast<uint32_t>(std::min<size_t>(steps[i % 4], samples - out.size()));
      const std::vector<uint8_t> bytes = backend.AdvanceOutput(n);
      out.insert(out.end(), bytes.begin(), bytes.end());
      timers.Fire(timer::kMetronome);
    }
    return out;
  }

  FakeUi ui;
  FakeForm form;
  FakeTimers timers;
  RecordingBeatDisplay display;
  VirtualAudioBackend backend;
  Metronome metronome{ui, form, timers, display, backend};
};

TEST(ClickSoundTest, ClicksTempoAndDisplayRules) {
  const std::vector<uint8_t> click = MakeClick(kNormalClickPeriod, ClickAmplitude(0));
  ASSERT_EQ(click.size(), 1102u);
  EXPECT_EQ(click[0], 128);
  // sin(16.33 degrees) = 0.2811 under an envelope of 0.99857, at amplitude 128: 35.9.
  EXPECT_EQ(click[1], 163);
  EXPECT_NEAR(click[1101], 128, 1) << "the envelope has fallen to nothing";
  EXPECT_DOUBLE_EQ(ClickAmplitude(19), 6.4);

  struct Tempo {
    int32_t tempo, intervalMs;
    uint64_t secondClick;
  };
  for (const Tempo& t : {Tempo{120, 500, 5512}, Tempo{7, 8571, 94495}, Tempo{300, 200, 2205},
                         Tempo{1, 60000, 661500}}) {
    EXPECT_EQ(BeatIntervalMs(t.tempo), t.intervalMs) << t.tempo;
    EXPECT_EQ(ClickStartSample(1, t.intervalMs), t.secondClick) << t.tempo;
  }
  // 1000 beats at 120 bpm end exactly 500 s in: no rounding accumulates.
  EXPECT_EQ(ClickStartSample(1000, 500), 500u * 11025);

  // Blue runs 63, 127, 191, 255 over four beats.
  EXPECT_EQ(BeatColour(1, 4), 0xFFFF3Fu);
  EXPECT_EQ(BeatColour(4, 4), 0xFFFFFFu);
  EXPECT_EQ(BeatColour(2, 4), 0xFFFF7Fu);
  // The display's square never gets taller than the work area.
  EXPECT_EQ(DisplaySizeLimit(150, 1000), 100);  // 100 x 150 / 15 = 1000
  EXPECT_EQ(DisplaySizeLimit(151, 1000), 99);
  EXPECT_EQ(DisplaySizeLimit(2000, 100), 0);
}

TEST_F(MetronomeTest, ClicksSitAtTheirExactSamplesAsTheRingWraps) {
  struct Case {
    int32_t tempo;
    int32_t beats;
    bool chime;
    int32_t volume;
  };
  for (const Case& c : {Case{300, 4, true, 0}, Case{120, 3, false, 10}, Case{187, 1, true, 5}}) {
    SCOPED_TRACE(c.tempo);
    Settings(c.tempo, c.beats, c.chime, c.volume);
    Press();
    ASSERT_TRUE(metronome.Sounding());
    // Three times round the ring of 128 blocks.
    const size_t samples = size_t{3} * 128 * kClickStreamBlock + 777;
    const std::vector<uint8_t> played = Run(samples);
    const std::vector<uint8_t> expected =
        ExpectedStream(samples, c.tempo, c.beats, c.chime, ClickAmplitude(c.volume));
    size_t firstDifference = 0;
    while (firstDifference < samples && played[firstDifference] == expected[firstDifference]) {
      ++firstDifference;
    }
    EXPECT_EQ(firstDifference, samples) << "first wrong sample";
    EXPECT_EQ(backend.LastStream(StreamDirection::Output)->format.samplesPerSec, 11025u);
    EXPECT_EQ(backend.OpenStreamCount(), 1) << "one stream for the whole run";
    Press();
    EXPECT_EQ(backend.OpenStreamCount(), 0);
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MetronomeTest, TheDisplayFollowsTheStreamClock) {
  Settings(300, 4, false, 0);  // a click every 2205 samples
  Press();
  ASSERT_EQ(display.Texts(), std::vector<std::string>{"1"}) << "the first beat shows at once";
  EXPECT_EQ(display.shown[0].background, 0xFFFF3Fu);
  EXPECT_EQ(display.shown[0].side, kDisplayHeight);  // size 15: the template's height
  EXPECT_EQ(display.shown[0].fontHeight, 150);
  EXPECT_EQ(timers.Interval(timer::kMetronome), timer::kMetronomeFollowMs);

  backend.AdvanceOutput(2204);
  timers.Fire(timer::kMetronome);
  EXPECT_EQ(display.shown.size(), 1u) << "the second click has not been played yet";
  backend.AdvanceOutput(1);
  timers.Fire(timer::kMetronome);
  EXPECT_EQ(display.Texts().back(), "2");
  EXPECT_EQ(metronome.beat, 3);

  // A late tick shows the latest beat only; the clicks it missed sounded on time.
  backend.AdvanceOutput(3 * 2205);
  timers.Fire(timer::kMetronome);
  EXPECT_EQ(display.Texts(), (std::vector<std::string>{"1", "2", "1"}));

  // The display size may change while it runs; 0 hides it at the next beat.
  form.SetPosition(metctl::kDisplaySize, 0);
  backend.AdvanceOutput(2205);
  timers.Fire(timer::kMetronome);
  EXPECT_FALSE(display.visible);
  EXPECT_EQ(display.shown.size(), 3u);
}

TEST_F(MetronomeTest, TheDisplayWaitsForTheSoundSystemsLatency) {
  backend.plannedLatencyFrames = 1000;
  Settings(300, 4, false, 0);
  Press();
  ASSERT_TRUE(backend.LastStream(StreamDirection::Output)->planned) << "a deep device buffer";
  EXPECT_TRUE(display.shown.empty()) << "the first click is not heard yet";
  backend.AdvanceOutput(999);
  timers.Fire(timer::kMetronome);
  EXPECT_TRUE(display.shown.empty());
  backend.AdvanceOutput(1);
  timers.Fire(timer::kMetronome);
  EXPECT_EQ(display.Texts(), std::vector<std::string>{"1"});
  backend.AdvanceOutput(2204);
  timers.Fire(timer::kMetronome);
  EXPECT_EQ(display.Texts(), std::vector<std::string>{"1"});
  backend.AdvanceOutput(1);
  timers.Fire(timer::kMetronome);
  EXPECT_EQ(display.Texts(), (std::vector<std::string>{"1", "2"}));
}

TEST_F(MetronomeTest, WithoutSoundTheTimerCountsTheBeats) {
  struct Case {
    const char* name;
    int32_t volume;
    int failOpens;
  };
  for (const Case& c : {Case{"volume at 20", 20, 0}, Case{"no device opens", 0, 2}}) {
    SCOPED_TRACE(c.name);
    display.shown.clear();
    backend.failOpens = c.failOpens;
    Settings(120, 4, false, c.volume);
    Press();
    EXPECT_FALSE(metronome.Sounding());
    EXPECT_EQ(backend.OpenStreamCount(), 0);
    EXPECT_EQ(timers.Interval(timer::kMetronome), 500);
    for (int i = 0; i < 4; ++i) timers.Fire(timer::kMetronome);
    EXPECT_EQ(display.Texts(), (std::vector<std::string>{"1", "2", "3", "4", "1"}));
    EXPECT_EQ(display.shown[3].background, 0xFFFFFFu);
    Press();
    EXPECT_FALSE(display.visible);
  }
  EXPECT_TRUE(ui.messages.empty()) << "device failures are not reported";
}

TEST_F(MetronomeTest, AStreamThatDiesLeavesTheBeatsGoingSilently) {
  Settings(300, 4, false, 0);
  Press();
  backend.AdvanceOutput(2205);
  timers.Fire(timer::kMetronome);
  backend.FailStreams(-9999);
  timers.Fire(timer::kMetronome);
  EXPECT_FALSE(metronome.Sounding());
  EXPECT_EQ(timers.Interval(timer::kMetronome), 200);
  timers.Fire(timer::kMetronome);
  EXPECT_EQ(display.Texts(), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MetronomeTest, OneBeatABarNeverShowsTheDisplay) {
  Settings(300, 1, false, 20);
  Press();
  for (int i = 0; i < 3; ++i) timers.Fire(timer::kMetronome);
  EXPECT_TRUE(display.shown.empty());
  EXPECT_EQ(metronome.beat, 1);
}

TEST_F(MetronomeTest, RunningLocksTheSettingsButNotTheDisplaySize) {
  Press();
  EXPECT_EQ(form.GetText(metctl::kStartStop), "停止");
  for (int id : {metctl::kVolume, metctl::kTempoSpin, metctl::kBeatsSpin, metctl::kTempoEdit,
                 metctl::kBeatsEdit, metctl::kChime}) {
    EXPECT_FALSE(form.At(id).enabled) << id;
  }
  EXPECT_TRUE(form.At(metctl::kDisplaySize).enabled);
  EXPECT_TRUE(metronome.running);

  // Closing the dialog while it runs stops it; showing it again offers to start.
  metronome.OnClose();
  EXPECT_EQ(form.GetText(metctl::kStartStop), "開始");
  EXPECT_FALSE(metronome.running);
  EXPECT_FALSE(timers.Running(timer::kMetronome));
  EXPECT_FALSE(display.visible);
  for (int id : {metctl::kVolume, metctl::kTempoEdit, metctl::kChime}) {
    EXPECT_TRUE(form.At(id).enabled) << id;
  }
}

TEST_F(MetronomeTest, EntriesAreValidatedAndLimited) {
  EXPECT_EQ(form.GetText(metctl::kTempoEdit), "120");
  EXPECT_EQ(form.GetText(metctl::kBeatsEdit), "4");
  EXPECT_EQ(form.GetPosition(metctl::kDisplaySize), 15);
  EXPECT_EQ(form.At(metctl::kDisplaySize).max, 100);

  struct Case {
    const char* typed;
    const char* message;  // nullptr = none
    const char* shown;
  };
  const Case tempoCases[] = {{"500", "1 から 300 までの整数を入力してください。", "300"},
                             {"0", "1 から 300 までの整数を入力してください。", "1"},
                             {"abc", "整数を入力してください。", "1"},
                             {" 77", nullptr, "77"}};
  for (const Case& c : tempoCases) {
    ui.messages.clear();
    form.Type(metctl::kTempoEdit, c.typed);
    metronome.OnTempoEdited();
    EXPECT_EQ(ui.Texts(),
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
        << c.typed;
    EXPECT_EQ(form.GetText(metctl::kTempoEdit), c.shown) << c.typed;
    EXPECT_EQ(std::to_string(form.GetPosition(metctl::kTempoSpin)), c.shown) << c.typed;
  }
  ui.messages.clear();
  form.Type(metctl::kBeatsEdit, "13");
  metronome.OnBeatsEdited();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"1 から 12 までの整数を入力してください。"});
  EXPECT_EQ(metronome.beatsPerBar, 12);

  // The arrows stop at the ends.
  form.SetPosition(metctl::kTempoSpin, 1);
  metronome.OnTempoArrow(-1);
  EXPECT_EQ(metronome.tempo, 1);
  metronome.OnBeatsArrow(+1);
  EXPECT_EQ(metronome.beatsPerBar, 12);
  EXPECT_EQ(form.GetText(metctl::kBeatsEdit), "12");
  form.SetPosition(metctl::kDisplaySize, 100);
  metronome.OnDisplaySizeArrow(+1);
  EXPECT_EQ(form.GetPosition(metctl::kDisplaySize), 100);

  metronome.OnChimeClicked();
  EXPECT_TRUE(form.At(metctl::kChime).checked);
  metronome.OnChimeClicked();
  EXPECT_FALSE(form.At(metctl::kChime).checked);
}

TEST_F(MetronomeTest, TheWindowGoingStopsTheClicks) {
  Settings(120, 4, false, 0);
  Press();
  ASSERT_EQ(backend.OpenStreamCount(), 1);
  metronome.OnDestroy();
  EXPECT_EQ(backend.OpenStreamCount(), 0);
  EXPECT_FALSE(timers.Running(timer::kMetronome));
  EXPECT_TRUE(metronome.clickNormal.empty());
}

}  // namespace
}  // namespace velmora
