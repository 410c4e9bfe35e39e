// The metronome driven by hand: the test sets the dialog's controls in a fake form, presses the
// button, advances the virtual device (or a fake clock, without sound) and fires timer::kMetronome,
// and compares the stream with clicks placed on the tempo's true grid, and the beat display with
// the beats.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
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
  int64_t at = 0;  // the clock's microseconds when it was drawn
};

class RecordingBeatDisplay : public BeatDisplay {
 public:
  explicit RecordingBeatDisplay(const int64_t& clock) : clock_(clock) {}
  void Show(int side, const std::string& text, uint32_t background, int fontHeight) override {
    shown.push_back({side, text, background, fontHeight, clock_});
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

 private:
  const int64_t& clock_;
};

constexpr int kDisplayHeight = 150;  // the display window's height as made from its template
constexpr int kWorkAreaHeight = 1000;

// Where click k of a run belongs at 11025 samples per second: k x 60 / tempo seconds from the
// first, to the nearest sample.
size_t TrueClickSample(uint64_t k, int32_t tempo) {
  return static_cast<size_t>(std::llround(static_cast<double>(k) * 60 * 11025 / tempo));
}

// The stream a run should give: silence with each click copied in at its true sample.
std::vector<uint8_t> ExpectedStream(size_t samples, int32_t tempo, int32_t beatsPerBar, bool chime,
                                    double amplitude) {
  const std::vector<uint8_t> normal = MakeClick(kNormalClickPeriod, amplitude);
  const std::vector<uint8_t> accent = MakeClick(kAccentClickPeriod, amplitude);
  std::vector<uint8_t> stream(samples, 128);
  for (uint64_t k = 0; TrueClickSample(k, tempo) < samples; ++k) {
    const size_t start = TrueClickSample(k, tempo);
    const std::vector<uint8_t>& click = (chime && k % beatsPerBar == 0) ? accent : normal;
    for (size_t i = 0; i < click.size() && start + i < samples; ++i) stream[start + i] = click[i];
  }
  return stream;
}

// Where clicks start in a stream: a click's first sample is silence (128) and its second is not;
// at least 200 silent samples (18 ms) come before it.
std::vector<size_t> ClickStarts(const std::vector<uint8_t>& stream) {
  std::vector<size_t> starts;
  size_t silent = 200;  // silence before the stream
  for (size_t i = 1; i < stream.size(); ++i) {
    if (stream[i] == 128) {
      ++silent;
      continue;
    }
    if (silent >= 200) starts.push_back(i - 1);
    silent = 0;
  }
  return starts;
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

  // Pulls `samples` out of the stream in uneven steps, with a tick of timer::kMetronome after each.
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

  // Ticks timer::kMetronome for `seconds` as a window timer would: each tick when its interval has
  // passed, every fifth one `lateMs` later still (a busy window). Returns the clock's times of the
  // late ticks.
  std::set<int64_t> TickFor(int seconds, int lateMs) {
    std::set<int64_t> late;
    const int64_t end = now + int64_t{seconds} * 1000000;
    for (int tick = 1; now < end && timers.Running(timer::kMetronome); ++tick) {
      now += int64_t{timers.Interval(timer::kMetronome)} * 1000;
      if (tick % 5 == 0 && lateMs > 0) {
        now += int64_t{lateMs} * 1000;
        late.insert(now);
      }
      timers.Fire(timer::kMetronome);
    }
    return late;
  }

  int64_t now = 1000000;  // the fake steady clock, microseconds
  FakeUi ui;
  FakeForm form;
  FakeTimers timers;
  RecordingBeatDisplay display{now};
  VirtualAudioBackend backend;
  Metronome metronome{ui, form, timers, display, backend, [this] { return now; }};
};

TEST(ClickSoundTest, ClicksTempoAndDisplayRules) {
  const std::vector<uint8_t> click = MakeClick(kNormalClickPeriod, ClickAmplitude(0));
  ASSERT_EQ(click.size(), 1102u);
  EXPECT_EQ(click[0], 128);
  // sin(16.33 degrees) = 0.2811 under an envelope of 0.99857, at amplitude 128: 35.9.
  EXPECT_EQ(click[1], 163);
  EXPECT_NEAR(click[1101], 128, 1) << "the envelope has fallen to nothing";
  EXPECT_DOUBLE_EQ(ClickAmplitude(19), 6.4);

  // The second click and a minute of beats, in samples and (silent) microseconds: a beat that
  // falls between two samples goes to the nearer, and nothing accumulates.
  struct Tempo {
    int32_t tempo;
    uint64_t secondClick;
    int64_t secondBeatMicros;
  };
  for (const Tempo& t :
       {Tempo{120, 5513, 500000}, Tempo{140, 4725, 428571}, Tempo{97, 6820, 618557},
        Tempo{7, 94500, 8571429}, Tempo{300, 2205, 200000}, Tempo{1, 661500, 60000000}}) {
    EXPECT_EQ(ClickStartSample(1, t.tempo), t.secondClick) << t.tempo;
    EXPECT_EQ(ClickStartSample(static_cast<uint64_t>(t.tempo), t.tempo), 661500u) << t.tempo;
    EXPECT_EQ(BeatTimeMicros(1, t.tempo), t.secondBeatMicros) << t.tempo;
    EXPECT_EQ(BeatTimeMicros(static_cast<uint64_t>(t.tempo) * 60, t.tempo), 3600000000) << t.tempo;
  }

  // Blue runs 63, 127, 191, 255 over four beats.
  EXPECT_EQ(BeatColour(1, 4), 0xFFFF3Fu);
  EXPECT_EQ(BeatColour(4, 4), 0xFFFFFFu);
  EXPECT_EQ(BeatColour(2, 4), 0xFFFF7Fu);
  // The display's square never gets taller than the work area.
  EXPECT_EQ(DisplaySizeLimit(150, 1000), 100);  // 100 x 150 / 15 = 1000
  EXPECT_EQ(DisplaySizeLimit(151, 1000), 99);
  EXPECT_EQ(DisplaySizeLimit(2000, 100), 0);
}

TEST_F(MetronomeTest, ClicksKeepTheTrueTempoForAMinuteAsTheRingWraps) {
  struct Case {
    int32_t tempo;
    int32_t beats;
    bool chime;
    int32_t volume;
  };
  for (const Case& c : {Case{97, 4, true, 0}, Case{120, 3, false, 10}, Case{140, 4, true, 5},
                        Case{300, 1, true, 0}}) {
    SCOPED_TRACE(c.tempo);
    Settings(c.tempo, c.beats, c.chime, c.volume);
    Press();
    ASSERT_TRUE(metronome.Sounding());
    // A minute of beats and a little more: the ring of 128 blocks goes round four times.
    const size_t samples = size_t{60} * 11025 + 777;
    const std::vector<uint8_t> played = Run(samples);

    std::vector<size_t> expectedStarts;
    for (uint64_t k = 0; TrueClickSample(k, c.tempo) + 1 < samples; ++k) {
      expectedStarts.push_back(TrueClickSample(k, c.tempo));
    }
    const std::vector<size_t> starts = ClickStarts(played);
    size_t k = 0;
    while (k < starts.size() && k < expectedStarts.size() && starts[k] == expectedStarts[k]) ++k;
    EXPECT_EQ(k, expectedStarts.size())
        << "click " << k << " at " << (k < starts.size() ? starts[k] : 0) << " instead of "
        << (k < expectedStarts.size() ? expectedStarts[k] : 0);
    EXPECT_EQ(starts.size(), expectedStarts.size());

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

TEST_F(MetronomeTest, WithoutSoundTheBeatsKeepTheTrueTempo) {
  struct Case {
    const char* name;
    int32_t tempo;
    int32_t volume;
    int failOpens;
    int lateMs;  // every fifth tick
  };
  for (const Case& c : {Case{"volume at 20", 140, 20, 0, 0}, Case{"no device opens", 97, 0, 2, 0},
                        Case{"a busy window", 120, 20, 0, 250},
                        Case{"a window busier than a beat", 300, 20, 0, 250}}) {
    SCOPED_TRACE(c.name);
    display.shown.clear();
    backend.failOpens = c.failOpens;
    Settings(c.tempo, 4, false, c.volume);
    const int64_t start = now;
    Press();
    EXPECT_FALSE(metronome.Sounding());
    EXPECT_EQ(backend.OpenStreamCount(), 0);
    const std::set<int64_t> late = TickFor(60, c.lateMs);

    // Each beat shows on the first tick at or after its time on the grid, numbered by the grid;
    // a late tick shows only the latest beat due, and the next is on time again.
    const auto beatTime = [&](int64_t k) { return start + k * 60000000 / c.tempo; };
    int64_t previous = -1;
    for (const Drawn& d : display.shown) {
      const int64_t k = (d.at - start) * c.tempo / 60000000;  // the latest beat due
      ASSERT_GT(k, previous) << "at " << d.at - start << " us";
      EXPECT_EQ(d.text, std::to_string(k % 4 + 1)) << "at " << d.at - start << " us";
      if (late.count(d.at) == 0) {
        EXPECT_LE(d.at - beatTime(k), 1000) << "beat " << k << " shown late";
      }
      if (c.lateMs == 0) {
        EXPECT_EQ(k, previous + 1) << "a beat was skipped";
      }
      previous = k;
    }
    EXPECT_EQ(previous, (now - start) * c.tempo / 60000000) << "the latest beat at the end";
    if (c.lateMs == 0) {
      EXPECT_EQ(previous, c.tempo) << "the beat a minute in";
      EXPECT_EQ(display.shown[3].background, 0xFFFFFFu);
    }
    Press();
    EXPECT_FALSE(display.visible);
  }
  EXPECT_TRUE(ui.messages.empty()) << "device failures are not reported";
}

TEST_F(MetronomeTest, AStreamThatDiesLeavesTheBeatsGoingSilentlyOnTheGrid) {
  Settings(300, 4, false, 0);
  Press();
  backend.AdvanceOutput(2205);
  timers.Fire(timer::kMetronome);
  backend.FailStreams(-9999);
  timers.Fire(timer::kMetronome);
  EXPECT_FALSE(metronome.Sounding());
  EXPECT_EQ(timers.Interval(timer::kMetronome), 200) << "the third beat is 200 ms away";
  TickFor(1, 0);
  EXPECT_EQ(display.Texts(), (std::vector<std::string>{"1", "2", "3", "4", "1", "2", "3"}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MetronomeTest, OneBeatABarNeverShowsTheDisplay) {
  Settings(300, 1, false, 20);
  Press();
  TickFor(1, 0);
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

TEST_F(MetronomeTest, TypingMovesTheUpDownAndLeavingTheFieldChecksIt) {
  EXPECT_EQ(form.GetText(metctl::kTempoEdit), "120");
  EXPECT_EQ(form.GetText(metctl::kBeatsEdit), "4");
  EXPECT_EQ(form.GetPosition(metctl::kDisplaySize), 15);
  EXPECT_EQ(form.At(metctl::kDisplaySize).max, 100);

  struct Case {
    const char* typed;
    int whileTyping;      // the up-down's position
    const char* message;  // on leaving; nullptr = none
    const char* shown;    // after leaving
  };
  const Case tempoCases[] = {{"", 120, "整数を入力してください。", "120"},
                             {"140", 140, nullptr, "140"},
                             {"500", 140, "1 から 300 までの整数を入力してください。", "300"},
                             {"0", 300, "1 から 300 までの整数を入力してください。", "1"},
                             {"abc", 1, "整数を入力してください。", "1"},
                             {" 77", 77, nullptr, "77"}};
  for (const Case& c : tempoCases) {
    SCOPED_TRACE(c.typed);
    ui.messages.clear();
    form.Type(metctl::kTempoEdit, c.typed);
    metronome.OnTempoEdited();
    EXPECT_TRUE(ui.messages.empty()) << "a message while typing";
    EXPECT_EQ(form.GetText(metctl::kTempoEdit), c.typed) << "the text is the user's";
    EXPECT_EQ(form.GetPosition(metctl::kTempoSpin), c.whileTyping);
    metronome.OnTempoLeft();
    EXPECT_EQ(ui.Texts(),
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    EXPECT_EQ(form.GetText(metctl::kTempoEdit), c.shown);
    EXPECT_EQ(std::to_string(form.GetPosition(metctl::kTempoSpin)), c.shown);
    EXPECT_EQ(std::to_string(metronome.tempo), c.shown);
  }
  ui.messages.clear();
  form.Type(metctl::kBeatsEdit, "13");
  metronome.OnBeatsEdited();
  EXPECT_TRUE(ui.messages.empty());
  metronome.OnBeatsLeft();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"1 から 12 までの整数を入力してください。"});
  EXPECT_EQ(metronome.beatsPerBar, 12);
  EXPECT_EQ(form.GetText(metctl::kBeatsEdit), "12");

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

TEST_F(MetronomeTest, StartAndCloseCheckAFieldNotYetLeft) {
  struct Case {
    int field;
    const char* typed;
    bool start;  // else close
    const char* message;
    const char* shown;
  };
  const Case cases[] = {
      {metctl::kTempoEdit, "", true, "整数を入力してください。", "120"},
      {metctl::kBeatsEdit, "0", true, "1 から 12 までの整数を入力してください。", "1"},
      {metctl::kTempoEdit, "301", false, "1 から 300 までの整数を入力してください。", "300"},
      {metctl::kBeatsEdit, "x", false, "整数を入力してください。", "1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ui.messages.clear();
    form.Type(c.field, c.typed);
    if (c.start) {
      Press();
      EXPECT_FALSE(metronome.running) << "refused: the user sees the limited value first";
    } else {
      metronome.OnClose();
    }
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(form.GetText(c.field), c.shown);
  }
  // Started again, it runs with what the fields show.
  ui.messages.clear();
  Press();
  EXPECT_TRUE(metronome.running);
  EXPECT_EQ(metronome.tempo, 300);
  EXPECT_EQ(metronome.beatsPerBar, 1);
  metronome.OnClose();
  EXPECT_FALSE(metronome.running);
  EXPECT_TRUE(ui.messages.empty());
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
