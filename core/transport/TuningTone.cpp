#include "transport/TuningTone.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "audio/WaveDevice.h"
#include "document/VelmoraDoc.h"
#include "io/Format.h"
#include "seams/ControlIds.h"
#include "seams/Form.h"
#include "seams/Timers.h"
#include "seams/Ui.h"
#include "transport/Transport.h"
#include "view/DeviceMessages.h"
#include "view/ViewSettings.h"

namespace velmora {

namespace {

// The program's pi, to ten decimals; the tone's samples are computed with it.
constexpr double kPi = 3.1415926535;
constexpr uint32_t kToneRate = 44100;
constexpr int32_t kToneAmplitude = 64;
constexpr uint32_t kFadeSamples = kToneRate / 100;  // 10 ms

double SinDegrees(double degrees) {
  return std::sin(kPi * degrees / 180.0);
}

}  // namespace

std::vector<uint8_t> MakeTuningTone(int32_t tuningHz, uint32_t totalSamples) {
  std::vector<uint8_t> tone(totalSamples);
  const double period = static_cast<double>(kToneRate) / tuningHz;
  const uint32_t n = kFadeSamples;
  for (uint32_t i = 0; i < totalSamples; ++i) {
    auto v = static_cast<int32_t>(kToneAmplitude * SinDegrees(i * 360.0 / period));
    // The fades move in whole-degree steps.
    if (i < n) {
      const uint32_t degrees = 90 * i / n;
      v = static_cast<int32_t>(v * SinDegrees(degrees));
    }
    if (totalSamples - i < n) {
      const uint32_t degrees = 90 * (i - (totalSamples - n)) / n + 90;
      v = static_cast<int32_t>(v * SinDegrees(degrees));
    }
    tone[i] = static_cast<uint8_t>(v + 128);
  }
  return tone;
}

std::vector<uint8_t> MakeCountdownBeep() {
  std::vector<uint8_t> beep(kCountdownBeepSamples);
  for (uint32_t i = 0; i < kCountdownBeepSamples; ++i) {
    const double envelope = 1.0 - SinDegrees(90.0 * i / kCountdownBeepSamples);
    const double value = std::sin(2 * kPi * i / 44.1) * kToneAmplitude * envelope + 128;
    beep[i] = static_cast<uint8_t>(static_cast<int32_t>(value));
  }
  return beep;
}

std::string TuningPlayCaption(int32_t tuningHz) {
  return Format("%dHz再生", tuningHz);
}

std::string TuningStopCaption(int32_t tuningHz) {
  return Format("%dHz停止", tuningHz);
}

TuningTone::TuningTone(const ViewContext& context, WaveDevice& playDevice,
                       const Transport& transport)
    : doc_(context.doc),
      ui_(context.ui),
      form_(context.form),
      timers_(context.timers),
      view_(context.settings),
      playDevice_(playDevice),
      transport_(transport),
      beepBuffer_(MakeCountdownBeep()) {}

bool TuningTone::Sounding() const {
  return doc_.transportState() == TransportState::TuningTone;
}

void TuningTone::OnButton() {
  if (form_.GetText(ctl::kTuningButton).find("Hz再生") != std::string::npos) {
    Start();
  } else {
    Stop();
  }
}

void TuningTone::OnArrow(int direction) {
  const int64_t wanted = int64_t{view_.tuningHz} + (direction > 0 ? 1 : -1);
  view_.tuningHz = static_cast<int32_t>(std::clamp<int64_t>(wanted, kTuningHzMin, kTuningHzMax));
  form_.SetText(ctl::kTuningButton, TuningPlayCaption(view_.tuningHz));
}

bool TuningTone::PrepareDevice() {
  if (transport_.pausedPlayback) return false;
  if (!playDevice_.Initialised()) {
    ui_.ShowError(msg::kPlaybackInitFailed);
    return false;
  }
  playDevice_.ClosePlayback();
  playDevice_.sampleRate = kToneRate;
  playDevice_.bitsPerSample = 8;
  playDevice_.channels = 1;
  playDevice_.blockLength = view_.blockFrames;
  return true;
}

bool TuningTone::PlayCountdownBeep() {
  if (!PrepareDevice()) return false;
  playDevice_.blockData[0] = beepBuffer_.data();
  playDevice_.lastIndex = 0;
  playDevice_.lastBlockLength = kCountdownBeepSamples;
  if (!playDevice_.OpenPlayback(view_.outputDevice, false)) return false;
  timers_.Start(timer::kToneAndBeep, timer::kBeepCheckMs);
  return true;
}

void TuningTone::Start() {
  if (!PrepareDevice()) return;
  if (CountdownRunning()) {
    PlayCountdownBeep();
    return;
  }
  const uint32_t total = view_.blockFrames * kBlockSlots;
  try {
    toneBuffer_ = MakeTuningTone(view_.tuningHz, total);
  } catch (const std::bad_alloc&) {
    ui_.ShowError(msg::kPlaybackInitFailed);
    return;
  }
  for (uint32_t k = 0; k < kBlockSlots; ++k) {
    playDevice_.blockData[k] = toneBuffer_.data() + size_t{k} * view_.blockFrames;
  }
  playDevice_.lastIndex = kBlockSlots - 1;
  playDevice_.lastBlockLength = 0;  // the tone has no end
  // The tone is made before it sounds and loops unchanged: a deep device buffer keeps a busy
  // machine from breaking it up. (The beep and playback stay on the quick buffer.)
  playDevice_.plannedOutput = true;
  const bool opened = playDevice_.OpenPlayback(view_.outputDevice, false).ok();
  playDevice_.plannedOutput = false;
  if (!opened) {
    toneBuffer_ = {};
    return;
  }
  doc_.SetTransportState(TransportState::TuningTone);
  timers_.Start(timer::kToneAndBeep, timer::kToneRefillMs);
  form_.Enable(ctl::kTuningSpin, false);
  form_.SetText(ctl::kTuningButton, TuningStopCaption(view_.tuningHz));
}

void TuningTone::Stop() {
  playDevice_.ClosePlayback();
  timers_.Kill(timer::kToneAndBeep);
  doc_.SetTransportState(TransportState::Stopped);
  toneBuffer_ = {};
  form_.Enable(ctl::kTuningSpin, true);
  form_.SetText(ctl::kTuningButton, TuningPlayCaption(view_.tuningHz));
}

void TuningTone::OnTimer(int id) {
  if (id != timer::kToneAndBeep || CountdownRunning() || !Sounding()) return;
  RefillTick();
}

void TuningTone::RefillTick() {
  if (const Result health = playDevice_.CheckOutput(); !health) {
    EndOnDeviceFailure(health);
    return;
  }
  // Every finished block is written again with the same data: the buffer loops.
  playDevice_.lastIndex = playDevice_.doneCount.load(std::memory_order_acquire) + kBlockSlots - 1;
  const Result refill = playDevice_.QueuePending();
  if (refill.what() == FailureKind::OutputWrite) {
    EndOnDeviceFailure(refill);
  } else {
    ShowDeviceError(ui_, refill);
  }
}

void TuningTone::EndOnDeviceFailure(const Result& failure) {
  Stop();
  ShowDeviceError(ui_, failure);
}

void TuningTone::OnDestroy() {
  if (Sounding()) {
    playDevice_.ClosePlayback();
    timers_.Kill(timer::kToneAndBeep);
  }
  toneBuffer_ = {};
}

}  // namespace velmora
