#pragma once
// The tuning tone of button ctl::kTuningButton and up-down ctl::kTuningSpin, and the recorder's
// countdown beep, which shares the button's start path and the view's output device.
//
// The tone is one buffer of 128 transport blocks, made at each start and looped by
// timer::kToneAndBeep: every tick writes the blocks the device has finished again, so the buffer
// sounds end to end for as long as the tone runs (its 10 ms fades give one 20 ms dip per loop).
//
// Everything here runs on the user-interface thread (button, arrows, timer ticks).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "seams/CommandTarget.h"
#include "seams/TimerIds.h"
#include "view/ViewContext.h"

namespace velmora {

class CVelmoraDoc;
class Form;
class Timers;
class Transport;
class Ui;
class WaveDevice;
class Result;
struct ViewSettings;

namespace timer {
// kToneAndBeep's intervals: the tone's refill, and while a countdown runs the recorder's beep
// check.
constexpr int kToneRefillMs = 1000;
constexpr int kBeepCheckMs = 200;
}  // namespace timer

// Limits of the tuning frequency, in Hz.
constexpr int32_t kTuningHzMin = 1;
constexpr int32_t kTuningHzMax = 22050;
// Samples of the countdown beep: 0.3 s of 8-bit mono at 44100 Hz.
constexpr uint32_t kCountdownBeepSamples = 13230;

// The tone's samples: `totalSamples` of 8-bit unsigned mono at 44100 Hz, a sine of `tuningHz`
// with amplitude 64 and 10 ms fades at both ends, computed in degrees with the program's pi.
std::vector<uint8_t> MakeTuningTone(int32_t tuningHz, uint32_t totalSamples);
// The countdown beep: 1000 Hz whose amplitude falls from 64 to 0 along a quarter sine.
std::vector<uint8_t> MakeCountdownBeep();

// Button captions for a frequency: "%dHz再生" (offers to play) and "%dHz停止" (offers to stop).
std::string TuningPlayCaption(int32_t tuningHz);
std::string TuningStopCaption(int32_t tuningHz);

class TuningTone : public TimerTarget {
 public:
  // All must outlive the tone. `transport` is asked whether a playback is paused.
  TuningTone(const ViewContext& context, WaveDevice& playDevice, const Transport& transport);
  TuningTone(const TuningTone&) = delete;
  TuningTone& operator=(const TuningTone&) = delete;

  // Button ctl::kTuningButton: starts the tone when the caption offers to play ("Hz再生"), else
  // stops it. While a countdown runs (countdownActive), the start plays the countdown beep instead.
  void OnButton();
  // One click of up-down ctl::kTuningSpin: +1 (upper arrow) or -1 Hz, held at 1 and 22050 Hz; the
  // caption shows the new frequency.
  void OnArrow(int direction);

  // The recorder's countdown beep: the button's start path, then the beep as the device's only
  // block, not paused; on success timer::kToneAndBeep runs at 200 ms (its ticks during a countdown
  // are the recorder's). Nothing when a paused playback holds the device;
  // "再生処理の初期化に失敗しました！" when the device layer did not initialise. A refused open is
  // silent. True when it sounds.
  bool PlayCountdownBeep();

  // timer::kToneAndBeep while no countdown runs: loops the tone. Other ids are not the tone's.
  void OnTimer(int id) override;
  // The view's window is going: a sounding tone stops and its buffer goes.
  void OnDestroy();

  bool Sounding() const;
  // The tone of the running start (empty while idle).
  const std::vector<uint8_t>& toneBuffer() const { return toneBuffer_; }

  // Whether a recording countdown runs (the recorder sets this; none when unset).
  std::function<bool()> countdownActive;

 private:
  // Steps shared by the tone and the beep: false when nothing may sound (message shown).
  bool PrepareDevice();
  void Start();
  void Stop();
  void RefillTick();
  void EndOnDeviceFailure(const Result& failure);
  bool CountdownRunning() const { return countdownActive && countdownActive(); }

  CVelmoraDoc& doc_;
  Ui& ui_;
  Form& form_;
  Timers& timers_;
  ViewSettings& view_;
  WaveDevice& playDevice_;
  const Transport& transport_;
  std::vector<uint8_t> toneBuffer_;
  std::vector<uint8_t> beepBuffer_;
};

}  // namespace velmora
