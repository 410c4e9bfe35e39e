#pragma once
// The metronome dialog's logic (template 176): tempo 1..300 and beats 1..12 with their edits and
// up-downs, the chime check box, the volume slider (20 = silent), the display-size up-down, and
// start / stop. The window layer maps the dialog's controls through a Form and draws the beat
// display through BeatDisplay; the dialog's window timer (timer::kMetronome) ticks back into
// OnTimer.
//
// Steady time: while the metronome runs with sound, one output stream stays open and every click
// is written into it at its exact sample position (k x 60 / tempo s from the first click, to the
// nearest sample), a ring of blocks rendered ahead and refilled by the timer; the sound system
// keeps a deep buffer of it. The timer only refills and moves the beat display after the stream's
// clock (less the sound system's latency), so a late or busy window never moves a click. Without
// sound (volume at 20, no buffers, or no device that opens) a steady clock keeps the same grid:
// each tick shows the latest beat due and sets the timer to the next one, so whole-millisecond
// timer intervals never add up to a wrong tempo.
//
// The tempo and beats fields are checked (with the framework's messages) when the user leaves
// them, closes the window or starts; while typing, a valid number only moves the up-down along.
//
// Everything here runs on the user-interface thread; the device's callback only copies blocks.

#include <cstdint>
#include <functional>
#include <vector>

#include "audio/WaveDevice.h"
#include "dialogs/DeviceList.h"
#include "metronome/ClickSound.h"
#include "seams/CommandTarget.h"
#include "seams/TimerIds.h"

namespace velmora {

class AudioBackend;
class BeatDisplay;
class Form;
class Timers;
class Ui;

// Controls of template 176.
namespace metctl {
constexpr int kStartStop = 1001;
constexpr int kTempoSpin = 1006;
constexpr int kChime = 1010;
constexpr int kVolume = 1014;
constexpr int kBeatsSpin = 1016;
constexpr int kBeatsEdit = 1017;
constexpr int kDisplaySize = 1020;
constexpr int kTempoEdit = 1055;
constexpr int kDisplaySizeLabel = 1057;
}  // namespace metctl

namespace timer {
// How often the beat display looks at the stream's clock while the clicks sound.
constexpr int kMetronomeFollowMs = 10;
}  // namespace timer

namespace msg {
inline constexpr const char* kStartCaption = "開始";
inline constexpr const char* kStopCaption = "停止";
}  // namespace msg

constexpr int32_t kTempoMin = 1;
constexpr int32_t kTempoMax = 300;
constexpr int32_t kBeatsMin = 1;
constexpr int32_t kBeatsMax = 12;
// Display size at which the beat display is as tall as its template.
constexpr int32_t kDisplaySizeBase = 15;
// Samples per block of the click stream (100 ms); 128 blocks (12.8 s) are rendered ahead.
constexpr uint32_t kClickStreamBlock = 1102;

// The largest display size whose square, S x base / 15 pixels, fits a work area of `height`.
int32_t DisplaySizeLimit(int32_t displayBase, int32_t workAreaHeight);
// The display's colour for beat b of `beatsPerBar` (0xRRGGBB): pale yellow on the first beat,
// white on the last.
uint32_t BeatColour(int32_t beat, int32_t beatsPerBar);

// A monotonic clock in microseconds; the silent metronome counts its beats by it.
using MicrosClock = std::function<int64_t()>;
int64_t SteadyClockMicros();

class Metronome : public TimerTarget, public OutputDeviceOwner {
 public:
  // All must outlive the metronome; `backend` carries its own click device.
  Metronome(Ui& ui, Form& form, Timers& timers, BeatDisplay& display, AudioBackend& backend,
            MicrosClock clock = SteadyClockMicros);
  ~Metronome() override;
  Metronome(const Metronome&) = delete;
  Metronome& operator=(const Metronome&) = delete;

  // The dialog window exists: `displayHeight` is the beat display's height in pixels as made
  // from its template, `workAreaHeight` the desktop work area's. Makes the clicks' buffers and
  // sets the controls' ranges and values.
  void OnInitDialog(int32_t displayHeight, int32_t workAreaHeight);

  // One arrow click of an up-down: +1 upper, -1 lower.
  void OnTempoArrow(int direction);
  void OnBeatsArrow(int direction);
  void OnDisplaySizeArrow(int direction);
  // The user changed an edit's text: a number within range moves the up-down along. Nothing is
  // said and the text is left alone: the field may be empty on its way to a new number.
  void OnTempoEdited();
  void OnBeatsEdited();
  // The focus left the edit: its text is checked (a message when it is not an integer or out of
  // range), limited and written back with the up-down.
  void OnTempoLeft();
  void OnBeatsLeft();
  void OnChimeClicked();
  void OnVolumeMoved();
  // Button metctl::kStartStop: starts when its caption is "開始", else stops.
  void OnStartStop();
  // Enter, Escape or the close box: the fields are checked as when they are left, and a running
  // metronome stops (the window then hides itself, keeping every setting).
  void OnClose();
  // timer::kMetronome; other ids are not the metronome's.
  void OnTimer(int id) override;
  // The dialog window is going: the clicks stop and their buffers go.
  void OnDestroy();

  // The output device for the next start (kDefaultDevice or 0..3): the view's at creation, then
  // each one chosen in the device selection.
  void SetOutputDevice(int32_t device) override { outputDevice = device; }

  // True while the clicks go through an open stream (false while running silently).
  bool Sounding() const { return sounding_; }
  // ---- Fields (as the dialog's members) ----
  WaveDevice clickDevice;
  std::vector<uint8_t> clickNormal;  // 500 Hz
  std::vector<uint8_t> clickAccent;  // 1000 Hz
  int32_t beat = 1;                  // the beat the next click sounds, 1..beatsPerBar
  int32_t displayBase = 0;
  bool running = false;
  int32_t outputDevice = kDefaultDevice;
  int32_t tempo = 120;
  int32_t beatsPerBar = 4;
  int32_t chime = 0;
  int32_t volumePos = kVolumeSilent;

 private:
  // The dialog's data exchange, members to controls.
  void WriteMembers();
  // Checks one integer field: its value limited to min..max goes into `value`, the up-down and
  // the field (a text that is no integer keeps `value`); false, after the message, when the text
  // was not such a value.
  bool CheckField(int editId, int spinId, int32_t min, int32_t max, int32_t& value);
  // Both fields, stopping at the first refused.
  bool CheckFields();
  void Start();
  void Stop();
  // Opens the click stream with its first blocks; false when no device took it.
  bool OpenClickStream();
  void RenderBlock(uint32_t block);
  void RefillStream();
  // Sounding: shows the latest click the stream's clock has passed. Silent: shows the latest
  // beat the clock has passed and sets the timer to the next beat.
  void FollowStream();
  void SilentTick();
  // Shows the latest beat `due` says has come, when it is one not shown yet.
  void ShowLatestDue(const std::function<bool(uint64_t)>& due);
  // A stream that died: the metronome goes on without sound on the same grid.
  void GoSilent();
  void ShowBeat(int32_t b);
  void EnableSettings(bool enabled);

  Ui& ui_;
  Form& form_;
  Timers& timers_;
  BeatDisplay& display_;
  MicrosClock clock_;
  bool buffersReady_ = false;
  bool sounding_ = false;
  // Silent: the clock's time of beat 0 of the run.
  int64_t silentOrigin_ = 0;
  // The click stream's blocks, 128 x kClickStreamBlock samples.
  std::vector<uint8_t> ring_;
  // Click of the run that the display shows next (0 = the first click).
  uint64_t nextShown_ = 0;
  // Frames between the stream's callback and the ear, as the open stream stated them.
  uint32_t latencyFrames_ = 0;
};

}  // namespace velmora
