#include "transport/Transport.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#include "audio/WaveDevice.h"
#include "document/VelmoraDoc.h"
#include "io/Format.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "seams/Form.h"
#include "seams/Timers.h"
#include "seams/Ui.h"
#include "view/DeviceMessages.h"
#include "view/TimeText.h"
#include "view/ViewSettings.h"

namespace velmora {

namespace {

// Blocks the device holds at most; also how far Play lets the mixdown get ahead before it starts.
constexpr uint32_t kRingBlocks = kBlockSlots;

// Track bars take an int; a mix longer than that stops the thumb at the end.
int SliderValue(uint64_t frame) {
  return static_cast<int>(std::min<uint64_t>(frame, INT_MAX));
}

}  // namespace

Transport::Transport(const ViewContext& context, WaveDevice& playDevice)
    : buildMix([this](uint32_t blockFrames, bool runInWorker) {
        return doc_.BuildMix(blockFrames, runInWorker);
      }),
      waitForMix([] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }),
      doc_(context.doc),
      ui_(context.ui),
      form_(context.form),
      timers_(context.timers),
      view_(context.settings),
      playDevice_(playDevice) {}

bool Transport::HandlesCommand(int id) const {
  switch (id) {
    case cmd::kPlay:
    case cmd::kStop:
    case cmd::kPause:
    case cmd::kGoToStart:
    case cmd::kGoToEnd:
    case cmd::kStartMark:
    case cmd::kEndMark:
      return true;
    default:
      return cmd::ChannelOf(id, cmd::kGoToOffset) >= 0;
  }
}

bool Transport::OnCommand(int id) {
  switch (id) {
    case cmd::kPlay:
      Play();
      return true;
    case cmd::kStop:
      Stop();
      return true;
    case cmd::kPause:
      TogglePause();
      return true;
    case cmd::kGoToStart:
      GoToStart();
      return true;
    case cmd::kGoToEnd:
      GoToEnd();
      return true;
    case cmd::kStartMark:
      ToggleStartMark();
      return true;
    case cmd::kEndMark:
      ToggleEndMark();
      return true;
    default:
      break;
  }
  const int channel = cmd::ChannelOf(id, cmd::kGoToOffset);
  if (channel < 0) return false;
  GoToOffset(channel);
  return true;
}

void Transport::OnTimer(int id) {
  if (id == timer::kPlayback) {
    PlaybackTick();
  } else if (id == timer::kMixWatch) {
    MixWatchTick();
  }
}

void Transport::OnDestroy() {
  if (doc_.transportState() == TransportState::Playing) {
    playDevice_.ClosePlayback();
    timers_.Kill(timer::kPlayback);
  }
  timers_.Kill(timer::kMixWatch);
}

void Transport::Play(bool setUpBlocks) {
  if (pausedPlayback) return;
  doc_.SetPosition(static_cast<uint32_t>(std::max(form_.GetPosition(ctl::kPositionSlider), 0)));
  const bool closedRunning = CloseOutputBeforeRebuild();
  if (!BuildAndWaitForFirstBlocks()) {
    if (closedRunning) EndClosedPlayback();
    ui_.ShowError(msg::kNoPlayData);
    return;
  }
  if (!playDevice_.Initialised()) {
    if (closedRunning) EndClosedPlayback();
    ui_.ShowError(msg::kPlaybackInitFailed);
    return;
  }
  playDevice_.ClosePlayback();

  if (setUpBlocks && !SetUpBlocks(doc_.position())) {
    doc_.SetTransportState(TransportState::Playing);
    Stop();
    return;
  }

  form_.Enable(ctl::kMakeMix, false);
  if (doc_.workerBusy()) {
    form_.SetText(ctl::kMakeMix, msg::kMakingMixCaption);
    for (int channel = 0; channel < kChannelCount; ++channel) {
      EnableChannelControls(channel, false);
    }
    timers_.Start(timer::kMixWatch, timer::kTransportIntervalMs);
  } else {
    form_.Enable(ctl::kPositionSlider, true);
  }

  if (doc_.transportState() == TransportState::Recording) {
    // The recorder resumes the device when its recording starts.
    if (setUpBlocks) playDevice_.OpenPlayback(view_.outputDevice, true);
    return;
  }

  const bool restart = doc_.transportState() == TransportState::Playing;
  if (playDevice_.OpenPlayback(view_.outputDevice, doc_.paused())) {
    form_.Enable(ctl::kTuningButton, false);
    doc_.SetTransportState(TransportState::Playing);
    if (!doc_.paused()) timers_.Start(timer::kPlayback, timer::kTransportIntervalMs);
  } else {
    ui_.ShowError(msg::kPlaybackStartFailed);
    timers_.Kill(timer::kPlayback);
    // A restart has already closed the playback that was running: nothing plays any more.
    if (restart) {
      doc_.SetTransportState(TransportState::Stopped);
      form_.Enable(ctl::kTuningButton, true);
    }
  }
}

bool Transport::CloseOutputBeforeRebuild() {
  // Only a build of a stale mix touches it; a background build already running is left alone.
  const bool rebuilds = doc_.HasMix() && doc_.mixStale() && !doc_.workerBusy();
  if (!playDevice_.outputOpen || !rebuilds) return false;
  playDevice_.ClosePlayback();
  timers_.Kill(timer::kPlayback);
  return true;
}

void Transport::EndClosedPlayback() {
  // While recording only the playback along ends; the recording goes on.
  if (doc_.transportState() == TransportState::Playing) Stop();
}

MixBuild Transport::BuildMixNow() {
  const TransportState state = doc_.transportState();
  const bool playingMix = playDevice_.outputOpen && doc_.HasMix() &&
                          (state == TransportState::Playing || state == TransportState::Recording);
  if (!playingMix) return doc_.BuildMix(view_.blockFrames, false);

  // The build frees or rewrites the mix the device reads: the output stops first, and plays on
  // from the frame it had reached, paused as it was.
  const bool wasPaused = playDevice_.streamPaused;
  const uint32_t resumeAt = SoundingFrame();
  playDevice_.ClosePlayback();
  timers_.Kill(timer::kPlayback);
  MixBuild built = doc_.BuildMix(view_.blockFrames, false);
  if (built == MixBuild::PositionBeyondEnd) {
    // The mix got shorter than the playback had come: build it whole, the playback then ends.
    doc_.SetPosition(0);
    built = doc_.BuildMix(view_.blockFrames, false);
  }
  PlayOn(resumeAt, wasPaused);
  return built;
}

bool Transport::ArmPlaybackAtPosition() {
  if (!doc_.HasMix() || doc_.position() >= doc_.mixFrames()) return false;
  if (!SetUpBlocks(doc_.position())) return false;
  return static_cast<bool>(playDevice_.OpenPlayback(view_.outputDevice, true));
}

void Transport::PlayOn(uint32_t frame, bool startPaused) {
  if (!doc_.HasMix() || frame >= doc_.mixFrames() || !SetUpBlocks(frame)) {
    EndClosedPlayback();
    return;
  }
  if (!playDevice_.OpenPlayback(view_.outputDevice, startPaused)) {
    EndClosedPlayback();
    ui_.ShowError(msg::kPlaybackStartFailed);
    return;
  }
  if (!startPaused) timers_.Start(timer::kPlayback, timer::kTransportIntervalMs);
  if (doc_.transportState() == TransportState::Playing) MoveTo(frame);
}

bool Transport::SetUpBlocks(uint32_t from) {
  const MixFormat& format = doc_.mixFormat();
  blockFrames_ = view_.blockFrames;
  playDevice_.sampleRate = format.rate;
  playDevice_.bitsPerSample = static_cast<uint16_t>(format.bits);
  playDevice_.channels = 2;
  playDevice_.blockLength = 2 * blockFrames_;
  playDevice_.lastBlockLength = 0;
  startFrame = from;
  remainingFrames = PlayLength(startFrame);
  finalBlockBack_ = false;
  return SetBlocks(0, kRingBlocks) != 0;
}

uint32_t Transport::SoundingFrame() const {
  const uint64_t done = playDevice_.doneCount.load(std::memory_order_acquire);
  const uint64_t played = std::min<uint64_t>(done * blockFrames_, remainingFrames);
  return static_cast<uint32_t>(startFrame + played);
}

bool Transport::BuildAndWaitForFirstBlocks() {
  WaitCursor wait(ui_);
  // Only Play starts background builds, so a build found running was started from buildStart_.
  const bool buildRunning = doc_.workerBusy();
  buildMix(view_.blockFrames, true);
  // The build settles the position (one at the end of the new mix goes back to its start).
  const uint32_t from = doc_.position();
  if (!buildRunning) buildStart_ = from;
  if (doc_.mixFrames() <= from) return false;
  SetSliderRange();
  const uint64_t firstBlocks =
      std::min<uint64_t>(uint64_t{kRingBlocks} * view_.blockFrames, PlayLength(from));
  while (!FramesMixed(from, static_cast<uint32_t>(from + firstBlocks))) waitForMix();
  return true;
}

void Transport::PlaybackTick() {
  timers_.Kill(timer::kPlayback);
  const TransportState state = doc_.transportState();
  if (state != TransportState::Playing && state != TransportState::Recording) return;
  // A stream that died (device gone, sound server down) returns no more blocks: the end of the
  // playback would never come.
  if (const Result health = playDevice_.CheckOutput(); !health) {
    EndOnDeviceFailure(health);
    return;
  }
  const uint32_t done = playDevice_.doneCount.load(std::memory_order_acquire);

  if (playDevice_.lastBlockLength == 0) {
    if (!playDevice_.outputOpen) return;
    SetBlocks(playDevice_.lastIndex + 1, done + kRingBlocks);
    const Result refill = playDevice_.QueuePending();
    if (refill.what() == FailureKind::OutputWrite) {
      EndOnDeviceFailure(refill);  // the stream failed since the check above
      return;
    }
    // A block refused for a busy slot is skipped by the device; the playback goes on.
    ShowDeviceError(ui_, refill);
  }
  if (playDevice_.lastBlockLength != 0 && done > playDevice_.lastIndex) {
    // Every block has come back. A block comes back once the sound system has taken it, which
    // still holds it for its output latency: closing at once would cut the end of the sound,
    // so the close waits one more tick.
    if (!finalBlockBack_) {
      finalBlockBack_ = true;
      timers_.Start(timer::kPlayback, timer::kTransportIntervalMs);
      return;
    }
    finalBlockBack_ = false;
    if (state == TransportState::Playing) {
      Stop();
    } else {
      playDevice_.ClosePlayback();
    }
    return;
  }

  if (state == TransportState::Playing) {
    const uint64_t frame = uint64_t{done} * blockFrames_ + startFrame;
    // The peak table is counted in the blocks of the build, which may differ from today's.
    const uint32_t peakBlock = doc_.mixBlockFrames() != 0 ? doc_.mixBlockFrames() : blockFrames_;
    const uint64_t entry = frame / peakBlock;
    if (entry < doc_.blockPeaks().entries()) {
      SetMeters(doc_.blockPeaks().LeftPercent(entry), doc_.blockPeaks().RightPercent(entry));
    }
    MoveTo(static_cast<uint32_t>(frame));
  }
  timers_.Start(timer::kPlayback, timer::kTransportIntervalMs);
}

void Transport::EndOnDeviceFailure(const Result& failure) {
  if (doc_.transportState() == TransportState::Playing) {
    Stop();
  } else {
    playDevice_.ClosePlayback();  // the playback along a recording; the recording goes on
  }
  ShowDeviceError(ui_, failure);
}

void Transport::MixWatchTick() {
  if (doc_.workerBusy()) return;
  timers_.Kill(timer::kMixWatch);
  form_.SetText(ctl::kMakeMix, msg::kMakeMixCaption);
  form_.Enable(ctl::kPositionSlider, true);
  for (int channel = 0; channel < kChannelCount; ++channel) {
    EnableChannelControls(channel, doc_.slot(channel).inUse);
  }
}

void Transport::Stop() {
  SetMeters(0, 0);
  finalBlockBack_ = false;
  if (doc_.transportState() == TransportState::Playing) {
    playDevice_.ClosePlayback();
    timers_.Kill(timer::kPlayback);
    if (!doc_.paused()) MoveTo(doc_.startMark());
  } else if (doc_.transportState() == TransportState::Recording) {
    if (stopRecording && !stopRecording()) return;
  }
  if (doc_.paused()) {
    doc_.SetPaused(false);
    pausedPlayback = false;
  }
  doc_.SetTransportState(TransportState::Stopped);
  form_.Enable(ctl::kTuningButton, true);
}

void Transport::TogglePause() {
  const bool playing = doc_.transportState() == TransportState::Playing;
  if (doc_.paused()) {
    if (playing) {
      playDevice_.Resume();
      pausedPlayback = false;
      timers_.Start(timer::kPlayback, timer::kTransportIntervalMs);
    }
    doc_.SetPaused(false);
  } else {
    if (playing) {
      timers_.Kill(timer::kPlayback);
      if (playDevice_.Pause()) pausedPlayback = true;
    }
    doc_.SetPaused(true);
  }
}

void Transport::GoToStart() {
  if (doc_.transportState() != TransportState::Stopped) {
    Stop();
    return;
  }
  MoveTo(doc_.startMark() < doc_.position() ? doc_.startMark() : 0);
}

void Transport::GoToEnd() {
  if (doc_.transportState() != TransportState::Stopped) Stop();
  const int64_t block = view_.blockFrames;
  int64_t target = int64_t{doc_.endMark()} - block + 1;
  if (int64_t{doc_.position()} >= target) target = int64_t{doc_.mixFrames()} - block + 1;
  // A mix or an end mark shorter than one block: the start of the mix.
  MoveTo(static_cast<uint32_t>(std::max<int64_t>(target, 0)));
}

void Transport::GoToOffset(int channel) {
  if (doc_.transportState() != TransportState::Stopped) Stop();
  // A channel placed before the start of the mix (negative offset) starts at frame 0.
  const int32_t offsetMs = std::max(doc_.slot(channel).offset, 0);
  const double frame = static_cast<double>(doc_.MixRate()) * offsetMs / 1000;
  doc_.SetPosition(static_cast<uint32_t>(std::min<double>(frame, UINT32_MAX)));
  form_.SetPosition(ctl::kPositionSlider, SliderValue(doc_.position()));
  form_.SetText(ctl::kPositionTime, FormatPlayTime(static_cast<uint32_t>(offsetMs)));
}

void Transport::ToggleStartMark() {
  doc_.SetStartMark(doc_.startMark() == 0 ? doc_.position() : 0);
}

void Transport::ToggleEndMark() {
  if (doc_.mixFrames() == 0) return;
  const uint32_t last = doc_.mixFrames() - 1;
  // 0 is "not set" as much as the last frame is (a take leaves it so): the press sets the mark.
  if (doc_.endMark() == last || doc_.endMark() == 0) {
    // Past the last frame a mark would make playback read beyond the mix.
    doc_.SetEndMark(static_cast<uint32_t>(
        std::min<uint64_t>(uint64_t{doc_.position()} + view_.blockFrames - 1, last)));
  } else {
    doc_.SetEndMark(last);
  }
}

uint32_t Transport::PlayLength(uint32_t from) const {
  if (from >= doc_.mixFrames()) return 0;
  const uint32_t toEnd = doc_.mixFrames() - from;
  if (doc_.endMark() > from) return std::min(doc_.endMark() - from + 1, toEnd);
  return toEnd;
}

bool Transport::FramesMixed(uint32_t first, uint32_t end) const {
  if (first >= end) return true;
  if (!doc_.workerBusy()) return true;
  const uint32_t cursor = doc_.mixCursor();
  const uint64_t frames = doc_.mixFrames();
  if (frames == 0) return true;
  // The kernel mixes buildStart_ .. frames - 1, then 0 .. buildStart_ - 1; it has finished every
  // frame that comes before the cursor in that order.
  const uint64_t start = buildStart_ % frames;
  const auto order = [&](uint64_t f) { return (f + frames - start) % frames; };
  // A range that holds the start is finished in two pieces; its frame before the start is last.
  const uint64_t last = (first < start && start < end) ? start - 1 : end - 1;
  return order(last) < order(cursor);
}

uint32_t Transport::BlockFirst(uint32_t n) const {
  return static_cast<uint32_t>(startFrame + uint64_t{n} * blockFrames_);
}

uint32_t Transport::BlockEnd(uint32_t n) const {
  const uint64_t played = std::min<uint64_t>((uint64_t{n} + 1) * blockFrames_, remainingFrames);
  return static_cast<uint32_t>(startFrame + played);
}

uint8_t* Transport::BlockAddress(uint32_t n) {
  const uint64_t frameBytes = doc_.mixFormat().FrameBytes();
  // The device only reads output blocks; its block slots serve recording too, hence not const.
  return const_cast<uint8_t*>(doc_.mixBuffer().data()) + uint64_t{BlockFirst(n)} * frameBytes;
}

uint32_t Transport::SetBlocks(uint32_t first, uint32_t ringLimit) {
  const uint64_t block = blockFrames_;
  uint32_t n = first;
  while (n < ringLimit && n * block < remainingFrames && FramesMixed(BlockFirst(n), BlockEnd(n))) {
    playDevice_.blockData[n % kBlockSlots] = BlockAddress(n);
    ++n;
  }
  if (n == 0) return 0;
  if (n * block >= remainingFrames) {
    playDevice_.lastBlockLength = static_cast<uint32_t>((remainingFrames - (n - 1) * block) * 2);
  }
  playDevice_.lastIndex = n - 1;
  return n;
}

void Transport::SetSliderRange() {
  form_.SetRange(ctl::kPositionSlider, 0, PositionSliderMax(doc_.mixFrames(), view_.blockFrames));
}

void Transport::ShowPosition(uint32_t frame) {
  form_.SetPosition(ctl::kPositionSlider, SliderValue(frame));
  form_.SetText(ctl::kPositionTime, PositionTimeText(frame, doc_.MixRate()));
}

void Transport::MoveTo(uint32_t frame) {
  doc_.SetPosition(frame);
  ShowPosition(frame);
}

void Transport::SetMeters(int left, int right) {
  form_.SetPosition(ctl::kMeterLeft, left);
  form_.SetPosition(ctl::kMeterRight, right);
}

void Transport::EnableChannelControls(int channel, bool enabled) {
  form_.Enable(ctl::kLevel[channel], enabled);
  form_.Enable(ctl::kBalance[channel], enabled);
  form_.Enable(ctl::kOffsetEdit[channel], enabled);
  form_.Enable(ctl::kOffsetSpin[channel], enabled);
}

}  // namespace velmora
