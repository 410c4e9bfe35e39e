#include "recorder/Recorder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/WaveDevice.h"
#include "document/VelmoraDoc.h"
#include "io/Format.h"
#include "io/LittleEndian.h"
#include "panel/MixerPanel.h"
#include "recorder/LoopbackLag.h"
#include "recorder/RecoveryWriter.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "seams/Form.h"
#include "seams/Timers.h"
#include "seams/Ui.h"
#include "transport/Transport.h"
#include "transport/TuningTone.h"
#include "view/DeviceMessages.h"
#include "view/TimeText.h"
#include "view/ViewSettings.h"

namespace velmora {

namespace {

constexpr uint32_t kRingBlocks = kBlockSlots;
constexpr uint32_t kChunkBlocks = 128;
// Rounds of taking blocks out and draining the input at Stop: 40 s of queued input at most.
constexpr int kDrainRounds = 8;
// Dropout places the warning lists; more are summed up by the count.
constexpr size_t kListedDropouts = 5;
// Seconds of a take recorded along the playback that its round trip is measured over.
constexpr size_t kMeasuredSeconds = 10;

// Largest |sample| of `bytes` bytes (8-bit: deviation from 128), as the automatic level reads it.
int PeakOf(const uint8_t* data, uint32_t bytes, uint16_t bits) {
  return PeakOfSamples(data, bits == 16 ? bytes / 2 : bytes, bits);
}

// Peaks per side of a block (mono: both the same).
std::pair<int, int> SidePeaks(const uint8_t* data, uint32_t bytes, uint16_t bits,
                              uint16_t channels) {
  if (channels != 2) {
    const int peak = PeakOf(data, bytes, bits);
    return {peak, peak};
  }
  int left = 0;
  int right = 0;
  const uint32_t sampleBytes = bits / 8;
  for (uint32_t i = 0; i + 2 * sampleBytes <= bytes; i += 2 * sampleBytes) {
    left = std::max(left, PeakOf(data + i, sampleBytes, bits));
    right = std::max(right, PeakOf(data + i + sampleBytes, sampleBytes, bits));
  }
  return {left, right};
}

// One sample (the left side of a frame) as 16-bit: 8-bit samples are centred and widened.
int32_t SampleAs16(const uint8_t* p, bool wide) {
  return wide ? le::I16(p) : (p[0] - 128) * 256;
}

uint8_t SilenceByte(uint16_t bits) {
  return bits == 8 ? 128 : 0;
}

std::string SecondsText(uint64_t frames, uint32_t rate) {
  return rate == 0 ? "0.000" : Format("%.3f", static_cast<double>(frames) / rate);
}

}  // namespace

Recorder::Recorder(const ViewContext& context, const RecordingParts& parts)
    : roundTripLatency(
          [this] { return playDevice_.OutputLatency() + recordDevice_.InputLatency(); }),
      doc_(context.doc),
      ui_(context.ui),
      form_(context.form),
      timers_(context.timers),
      view_(context.settings),
      transport_(parts.transport),
      tone_(parts.tone),
      panel_(parts.panel),
      playDevice_(parts.playDevice),
      recordDevice_(parts.recordDevice),
      countdown_(parts.countdown) {
  transport_.stopRecording = [this] { return StopRecording(); };
  tone_.countdownActive = [this] { return countdownActive_; };
}

Recorder::~Recorder() {
  transport_.stopRecording = nullptr;
  tone_.countdownActive = nullptr;
}

bool Recorder::HandlesCommand(int id) const {
  return id == cmd::kRecord;
}

bool Recorder::OnCommand(int id) {
  if (id != cmd::kRecord) return false;
  Record();
  return true;
}

void Recorder::OnTimer(int id) {
  switch (id) {
    case timer::kRecording:
      RecordingTick();
      break;
    case timer::kCountdown:
      CountdownTick();
      break;
    case timer::kToneAndBeep:
      if (countdownActive_) BeepCheckTick();
      break;
    default:
      break;
  }
}

void Recorder::OnDestroy() {
  if (doc_.transportState() != TransportState::Recording) return;
  recordDevice_.CloseRecord();
  timers_.Kill(timer::kRecording);
  timers_.Kill(timer::kCountdown);
  if (options.simultaneousPlayback) {
    playDevice_.ClosePlayback();
    timers_.Kill(timer::kPlayback);
  }
  countdown_.Hide();
  if (recovery_) recovery_->Finish();  // left on the disk: the take was never stored
  recovery_.reset();
  FreeChunks();
}

uint32_t Recorder::FrameBytes() const {
  return static_cast<uint32_t>(channels_) * bits_ / 8;
}

uint32_t Recorder::BlockBytes() const {
  return FrameBytes() * blockFrames_;
}

uint64_t Recorder::ChunkBytes() const {
  return uint64_t{kChunkBlocks} * BlockBytes();
}

bool Recorder::AllocateRing() {
  const uint64_t bytes = uint64_t{kRingBlocks} * BlockBytes();
  if (recordRing_.size() == bytes) return true;  // kept between recordings
  return recordRing_.Allocate(bytes);
}

void Recorder::Record() {
  const int slot = doc_.FirstEmptySlot();
  if (slot < 0) {
    ui_.ShowError(msg::kNoFreeChannel);
    return;
  }
  doc_.SetRecordChannel(slot);
  if (doc_.transportState() != TransportState::Stopped) return;

  timers_.Kill(timer::kRecording);
  rate_ = view_.recordRate;
  bits_ = view_.recordBits;
  channels_ = view_.recordChannels;
  blockFrames_ = view_.recordBlockFrames;
  recordDevice_.sampleRate = rate_;
  recordDevice_.bitsPerSample = bits_;
  recordDevice_.channels = channels_;
  recordDevice_.blockLength = blockFrames_;
  if (BlockBytes() == 0 || !AllocateRing()) {
    ui_.ShowError(msg::kRecordInitFailed);
    return;
  }
  for (uint32_t k = 0; k < kRingBlocks; ++k) {
    recordDevice_.blockData[k] = recordRing_.data() + uint64_t{k} * BlockBytes();
  }

  FreeChunks();
  recordedFrames_ = 0;
  recordDevice_.cursor = 0;
  startFrame_ = doc_.position();
  leadingDiscarded_ = 0;
  inputRunning_ = false;
  collecting_ = true;
  lostFrames_ = 0;
  dropouts_.clear();
  latencySeconds_ = 0;
  doc_.SetTransportState(TransportState::Recording);

  const bool beepCountdown = options.selfTimerSeconds > 0 && options.beepBeforeStart;
  if (options.simultaneousPlayback && doc_.HasAnyChannel()) {
    transport_.Play(!beepCountdown);
    simultaneousActive_ = true;
  } else {
    simultaneousActive_ = false;
  }
  // The mix the recording plays against (Play may have rebuilt it); none gives rate 0.
  startMixRate_ = doc_.HasMix() ? doc_.MixRate() : 0;
  startFrame_ = doc_.position();

  if (!recordDevice_.OpenRecord(view_.inputDevice, true)) {
    ui_.ShowError(msg::kRecordStartFailed);
    // The playback armed for the recording would otherwise stay open, silent.
    if (simultaneousActive_) {
      playDevice_.ClosePlayback();
      timers_.Kill(timer::kPlayback);
    }
    doc_.SetTransportState(TransportState::Stopped);
    form_.Enable(ctl::kTuningButton, true);
    return;
  }
  form_.Enable(ctl::kTuningButton, false);
  if (openRecovery) recovery_ = openRecovery(rate_, bits_, channels_);
  if (recovery_) recovery_->SetPlacement(Placement(0));

  if (options.selfTimerSeconds > 0) {
    countdownActive_ = true;
    doc_.SetPaused(true);
    timers_.Start(timer::kCountdown, timer::kCountdownMs);
    countdownRemaining_ = options.selfTimerSeconds;
    ShowCountdownTime();
    if (countdownRemaining_ <= 3 && options.beepBeforeStart) tone_.PlayCountdownBeep();
    countdown_.ShowNumber(countdownRemaining_);
    return;
  }
  if (options.autoStartLevel != 0) doc_.SetPaused(true);
  StartRunning();
}

void Recorder::StartRunning() {
  recordDevice_.Resume();
  if (simultaneousActive_) {
    playDevice_.Resume();
    timers_.Start(timer::kPlayback, timer::kTransportIntervalMs);
  }
  inputRunning_ = true;
  UpdateLatency();
  timers_.Start(timer::kRecording, timer::kFirstRecordingTickMs);
  ShowRecordingStatus(lostFrames_);
}

void Recorder::UpdateLatency() {
  // Taken while the playback along runs: the measured figure once both first frames passed.
  if (simultaneousActive_ && playDevice_.outputOpen && !playDevice_.streamPaused) {
    latencySeconds_ = roundTripLatency();
  }
}

void Recorder::CountdownTick() {
  --countdownRemaining_;
  if (countdownRemaining_ <= 0) {
    timers_.Kill(timer::kCountdown);
    countdownActive_ = false;
    if (options.autoStartLevel == 0) doc_.SetPaused(false);
    StartRunning();
    countdown_.Hide();
    return;
  }
  ShowCountdownTime();
  if (countdownRemaining_ <= 3 && options.beepBeforeStart) tone_.PlayCountdownBeep();
  countdown_.ShowNumber(countdownRemaining_);
}

void Recorder::BeepCheckTick() {
  if (playDevice_.lastBlockLength != 0 && options.beepBeforeStart) {
    playDevice_.ClosePlayback();
    timers_.Kill(timer::kToneAndBeep);
  }
  if (simultaneousActive_ && options.beepBeforeStart && countdownRemaining_ == 1) {
    // The mix waits, paused, so that the countdown's end starts it with the input.
    transport_.ArmPlaybackAtPosition();
  }
}

uint32_t Recorder::FirstLoudBlock(uint32_t taken, uint32_t filled) const {
  const int level = options.autoStartLevel;
  const int threshold = bits_ == 16 ? level * 32767 / 100 : level * 127 / 100;
  for (uint32_t k = taken; k < filled; ++k) {
    const uint32_t bytes = std::min(
        recordDevice_.recordedBytes[k % kRingBlocks].load(std::memory_order_acquire), BlockBytes());
    if (bytes == 0) continue;
    if (PeakOf(recordDevice_.blockData[k % kRingBlocks], bytes, bits_) >= threshold) return k;
  }
  return filled;
}

void Recorder::RecordingTick() {
  if (doc_.transportState() != TransportState::Recording) return;
  if (const Result health = recordDevice_.CheckInput(); !health) {
    EndOnInputFailure(health);
    return;
  }
  UpdateLatency();
  if (TakeFilledBlocks() && !stopping_ && collecting_) {
    const Result requeue = recordDevice_.RequeueInput();
    // An input that died meanwhile ends the recording with its one message.
    if (const Result health = recordDevice_.CheckInput(); !requeue && !health) {
      EndOnInputFailure(health);
      return;
    }
    ShowDeviceError(ui_, requeue);
  }
  if (!collecting_) {
    // Collection has stopped for want of memory; Stop stores what was collected.
    timers_.Kill(timer::kRecording);
    ui_.ShowError(msg::kBufferFailed);
    return;
  }
  if (stopping_) {
    stopping_ = false;
    return;
  }
  timers_.Start(timer::kRecording, static_cast<int>(uint64_t{blockFrames_} * 1000 / rate_));
}

bool Recorder::TakeFilledBlocks() {
  const uint32_t filled = recordDevice_.doneCount.load(std::memory_order_acquire);
  const uint32_t taken = recordDevice_.cursor;
  if (filled <= taken) return false;
  uint32_t kept = taken;
  if (doc_.paused() && options.autoStartLevel > 0) {
    kept = FirstLoudBlock(taken, filled);
    if (kept < filled) transport_.TogglePause();
  }
  if (doc_.paused()) {
    if (recordedFrames_ == 0 && simultaneousActive_) {
      leadingDiscarded_ += (filled - taken) * blockFrames_;
    }
  } else {
    if (recordedFrames_ == 0 && simultaneousActive_) {
      leadingDiscarded_ += (kept - taken) * blockFrames_;
    }
    const bool first = recordedFrames_ == 0;
    for (uint32_t k = kept; k < filled && collecting_; ++k) StoreBlock(k % kRingBlocks);
    // From the first frames on, a crash recovers the take where it is going (by the latency the
    // sound system states, until Stop measures it).
    if (first && recordedFrames_ != 0 && recovery_) {
      recovery_->SetPlacement(Placement(simultaneousActive_ ? latencySeconds_ * rate_ : 0));
    }
    ShowRecordedTime();
    ShowTakePosition();
  }
  ShowMeters(filled - 1);
  recordDevice_.cursor = filled;
  // Frames lost since the last returned block count already, before their silence is stored.
  ShowRecordingStatus(lostFrames_ +
                      recordDevice_.pendingLostFrames.load(std::memory_order_relaxed));
  return true;
}

void Recorder::StoreBlock(uint32_t slot) {
  const uint32_t frames =
      std::min(recordDevice_.recordedBytes[slot].load(std::memory_order_acquire), BlockBytes()) /
      FrameBytes();
  const uint8_t* data = recordDevice_.blockData[slot];
  const uint32_t lost = recordDevice_.lostBefore[slot].load(std::memory_order_acquire);
  // A loss before the first stored frame is not in the take at all.
  if (lost == 0 || recordedFrames_ == 0) {
    collecting_ = AppendFrames(data, frames);
    return;
  }
  const uint32_t at = std::min(recordDevice_.lostAt[slot].load(std::memory_order_acquire), frames);
  collecting_ = AppendFrames(data, at);
  dropouts_.push_back({recordedFrames_, lost});
  lostFrames_ += lost;
  if (collecting_) collecting_ = AppendFrames(nullptr, lost);
  if (collecting_) collecting_ = AppendFrames(data + uint64_t{at} * FrameBytes(), frames - at);
}

bool Recorder::AppendFrames(const uint8_t* source, uint32_t frames) {
  const uint64_t chunkBytes = ChunkBytes();
  uint64_t remaining = uint64_t{frames} * FrameBytes();
  while (remaining != 0) {
    const uint64_t used = uint64_t{recordedFrames_} * FrameBytes();
    const uint64_t inChunk = used % chunkBytes;
    if (used == chunks_.size() * chunkBytes) {
      ByteBuffer chunk;
      if (!chunk.Allocate(chunkBytes)) return false;
      chunks_.push_back(std::move(chunk));
    }
    const uint64_t count = std::min(remaining, chunkBytes - inChunk);
    uint8_t* to = chunks_.back().data() + inChunk;
    if (source != nullptr) {
      std::memcpy(to, source, count);
      source += count;
    } else {
      std::memset(to, SilenceByte(bits_), count);
    }
    if (recovery_) recovery_->Append(source != nullptr ? to : nullptr, count);
    remaining -= count;
    recordedFrames_ += static_cast<uint32_t>(count / FrameBytes());
  }
  return true;
}

void Recorder::ShowMeters(uint32_t block) {
  const uint32_t slot = block % kRingBlocks;
  const uint32_t bytes =
      std::min(recordDevice_.recordedBytes[slot].load(std::memory_order_acquire), BlockBytes());
  const auto [left, right] = SidePeaks(recordDevice_.blockData[slot], bytes, bits_, channels_);
  const int scale = bits_ == 16 ? 32768 : 128;
  form_.SetPosition(ctl::kMeterLeft, left * 100 / scale);
  form_.SetPosition(ctl::kMeterRight, right * 100 / scale);
}

void Recorder::ShowRecordedTime() {
  const auto ms = static_cast<uint32_t>(uint64_t{recordedFrames_} * 1000 / rate_);
  form_.SetText(ctl::kPositionTime, FormatPlayTime(ms));
}

void Recorder::ShowTakePosition() {
  // The take's frames in the mix's: the rates differ within a family.
  const uint64_t taken =
      startMixRate_ != 0 ? uint64_t{recordedFrames_} * startMixRate_ / rate_ : recordedFrames_;
  const auto position =
      static_cast<uint32_t>(std::min<uint64_t>(uint64_t{startFrame_} + taken, UINT32_MAX));
  doc_.SetPosition(position);
  if (doc_.HasMix()) {
    form_.SetPosition(ctl::kPositionSlider, static_cast<int>(std::min<uint32_t>(
                                                std::min(position, doc_.mixFrames()), INT32_MAX)));
  }
}

void Recorder::ShowCountdownTime() {
  ShowStatus(Format(msg::kCountdownStatus, countdownRemaining_));
  form_.SetText(ctl::kPositionTime,
                Format("-%02d:%02d.000", countdownRemaining_ / 60, countdownRemaining_ % 60));
}

void Recorder::EndOnInputFailure(const Result& failure) {
  timers_.Kill(timer::kRecording);
  transport_.Stop();
  ShowDeviceError(ui_, failure);
}

bool Recorder::StopRecording() {
  stopping_ = true;
  timers_.Kill(timer::kCountdown);
  timers_.Kill(timer::kRecording);
  timers_.Kill(timer::kToneAndBeep);
  if (inputRunning_) {
    UpdateLatency();
    // Every frame captured before the press belongs to the take: what is still on its way, and
    // the block being filled.
    // After a long stall the input may hold more than the ring takes at once.
    for (int round = 0; round < kDrainRounds; ++round) {
      const bool took = TakeFilledBlocks();
      if (round > 0 && !took) break;  // nothing came: the input is not going to finish
      if (took && collecting_) recordDevice_.RequeueInput();
      if (!collecting_ || recordDevice_.DrainRecord()) break;
    }
  }
  recordDevice_.CloseRecord();
  if (inputRunning_ && collecting_) TakeFilledBlocks();
  if (options.simultaneousPlayback) {
    playDevice_.ClosePlayback();
    timers_.Kill(timer::kPlayback);
  }
  countdown_.Hide();
  stopping_ = false;
  countdownActive_ = false;
  inputRunning_ = false;
  recoveryLost_ = false;

  if (!chunks_.empty()) {
    WaitCursor wait(ui_);
    if (!StoreTake()) {
      ui_.ShowError(msg::kBufferFailed);
      return false;
    }
  } else if (recovery_) {
    recovery_->Remove();  // nothing was stored
    recovery_.reset();
  }
  doc_.SetPosition(startFrame_);
  form_.SetPosition(ctl::kPositionSlider,
                    static_cast<int>(std::min<uint32_t>(startFrame_, INT32_MAX)));
  form_.SetText(ctl::kPositionTime, PositionTimeText(startFrame_, doc_.MixRate()));
  WarnAboutDropouts();
  if (recoveryLost_)
    ui_.ShowMessage(msg::kRecoveryFailed, MessageIcon::Exclamation, MessageButtons::Ok);
  return true;
}

bool Recorder::StoreTake() {
  const int index = doc_.recordChannel();
  const ChannelSlot& slot = doc_.slot(index);
  const uint64_t frameBytes = FrameBytes();
  // What the playback and the input delayed the take by (measured in the take when it holds
  // the mix): a lead-in before the mix began sounding is cut so that the rest lines up.
  double latencyFrames = 0;
  if (simultaneousActive_ && startMixRate_ != 0) {
    const std::optional<uint32_t> measured = MeasureLoopback();
    latencyFrames = measured ? *measured : latencySeconds_ * rate_;
  }
  TakePlacement placement = Placement(latencyFrames);
  placement.cutFrames = std::min(placement.cutFrames, recordedFrames_);
  const uint32_t cutFrames = placement.cutFrames;
  const uint32_t keptFrames = recordedFrames_ - cutFrames;

  const uint64_t oldBytes = slot.HasData() ? uint64_t{slot.frames} * slot.FrameBytes() : 0;
  ByteBuffer joined;
  if (!joined.Allocate(oldBytes + uint64_t{keptFrames} * frameBytes)) return false;
  if (oldBytes != 0) std::memcpy(joined.data(), slot.data.data(), oldBytes);
  const uint64_t chunkBytes = ChunkBytes();
  uint64_t skip = uint64_t{cutFrames} * frameBytes;
  uint64_t left = uint64_t{recordedFrames_} * frameBytes;
  uint8_t* to = joined.data() + oldBytes;
  for (ByteBuffer& chunk : chunks_) {
    const uint64_t inChunk = std::min(left, chunkBytes);
    left -= inChunk;
    const uint64_t from = std::min(skip, inChunk);
    skip -= from;
    std::memcpy(to, chunk.data() + from, inChunk - from);
    to += inChunk - from;
  }
  FreeChunks();

  ChannelSlot take;
  take.HoldRecording(std::move(joined), slot.frames + keptFrames, channels_,
                     static_cast<int>(rate_), bits_);
  take.path = slot.path;
  take.offset = placement.offsetMs;
  appliedLatencyMs_ = placement.latencyMs;
  if (recovery_) recovery_->SetPlacement(placement);

  doc_.ApplyStep(ChangeList(ChannelContentChange{index, std::move(take), ChannelEvent::Recorded},
                            MarksChange{doc_.startMark(), 0}));
  // Counts a change, so a background build started before (along the recording) cannot make
  // the mix current without the take.
  panel_.MarkMixStale(true);
  // The views refresh, but the recording format stays what the take was recorded in.
  doc_.UpdateAllViews(DocumentNotice::Content(index, ChannelEvent::Recorded));

  if (recovery_) recovery_->Finish();
  recoveryLost_ = RecoveryLost();
  if (takeStored) {
    takeStored(index, std::move(recovery_));
  } else {
    recovery_.reset();
  }
  if (simultaneousActive_) {
    ShowStatus(Format(msg::kRecordedStatus, appliedLatencyMs_));
  } else {
    ShowStatus(msg::kRecordedNoPlaybackStatus);
  }
  return true;
}

TakePlacement Recorder::Placement(double latencyFrames) const {
  TakePlacement placement;
  placement.channel = doc_.recordChannel();
  if (startMixRate_ == 0) return placement;  // no mix: the take starts at 0
  // Where the recording began in the mix it played against, less the delay.
  const double startFrames =
      static_cast<double>(startFrame_) * rate_ / startMixRate_ + leadingDiscarded_;
  const double startMs = static_cast<double>(startFrame_) * 1000 / startMixRate_ +
                         static_cast<double>(leadingDiscarded_) * 1000 / rate_;
  placement.latencyMs = latencyFrames * 1000 / rate_;
  placement.offsetMs =
      static_cast<int32_t>(std::max(std::trunc(startMs - placement.latencyMs), 0.0));
  placement.cutFrames = static_cast<uint32_t>(
      std::min<double>(std::max(latencyFrames - std::floor(startFrames), 0.0), UINT32_MAX));
  return placement;
}

int32_t Recorder::TakeSample(uint32_t frame) const {
  const uint64_t at = uint64_t{frame} * FrameBytes();
  return SampleAs16(chunks_[at / ChunkBytes()].data() + at % ChunkBytes(), bits_ == 16);
}

std::optional<uint32_t> Recorder::MeasureLoopback() const {
  // The mix as it was played: only when it is there whole, at the take's rate.
  if (startMixRate_ != rate_ || !doc_.HasMix() || doc_.workerBusy() ||
      doc_.mixFormat().rate != rate_) {
    return std::nullopt;
  }
  const uint32_t maxLag = rate_ / 2;
  const uint32_t window = rate_;
  const uint64_t first = uint64_t{startFrame_} + leadingDiscarded_;
  const uint64_t mixLeft = doc_.mixFrames() > first ? doc_.mixFrames() - first : 0;
  const uint64_t available = std::min<uint64_t>(recordedFrames_, mixLeft);
  const uint8_t* mix = doc_.mixBuffer().data();
  const bool mix16 = doc_.mixFormat().bits == 16;
  const uint32_t mixFrameBytes = doc_.mixFormat().FrameBytes();
  // A second at a time over the first seconds: a sound server that fell behind once moves the
  // rest of the take, so the lag most of them agree on is the one.
  std::vector<uint32_t> lags;
  for (uint64_t at = 0; at + maxLag + window <= available && lags.size() < kMeasuredSeconds;
       at += window) {
    std::vector<int32_t> played(maxLag + window);
    std::vector<int32_t> take(maxLag + window);
    for (uint32_t i = 0; i < maxLag + window; ++i) {
      played[i] = SampleAs16(mix + (first + at + i) * mixFrameBytes, mix16);
      take[i] = TakeSample(static_cast<uint32_t>(at + i));
    }
    if (const std::optional<uint32_t> lag = FindLoopbackLag(played, take, maxLag, window)) {
      lags.push_back(*lag);
    }
  }
  std::optional<uint32_t> best;
  size_t bestVotes = 0;
  for (const uint32_t lag : lags) {
    const auto votes =
        static_cast<size_t>(std::count_if(lags.begin(), lags.end(), [&](uint32_t other) {
          return other + 2 >= lag && lag + 2 >= other;
        }));
    if (votes > bestVotes) {
      bestVotes = votes;
      best = lag;
    }
  }
  return best;
}

void Recorder::ShowRecordingStatus(uint32_t lostFrames) {
  if (recordedFrames_ == 0 && doc_.paused() && options.autoStartLevel > 0) {
    ShowStatus(Format(msg::kWaitingForLevelStatus, options.autoStartLevel));
    return;
  }
  std::string text = Format(msg::kRecordingStatus, lostFrames);
  if (RecoveryLost()) text += msg::kRecoveryFailedStatus;
  ShowStatus(text);
}

bool Recorder::RecoveryLost() const {
  return openRecovery && (!recovery_ || recovery_->failed());
}

void Recorder::WarnAboutDropouts() {
  if (lostFrames_ == 0) return;
  std::string places;
  for (size_t i = 0; i < dropouts_.size() && i < kListedDropouts; ++i) {
    if (!places.empty()) places += ", ";
    places += FormatPlayTime(static_cast<uint32_t>(uint64_t{dropouts_[i].frame} * 1000 / rate_));
  }
  if (dropouts_.size() > kListedDropouts)
    places += Format(" ほか %u 箇所", static_cast<unsigned>(dropouts_.size() - kListedDropouts));
  ui_.ShowMessage(Format(msg::kDropoutWarning, lostFrames_, SecondsText(lostFrames_, rate_).c_str(),
                         places.c_str()),
                  MessageIcon::Exclamation, MessageButtons::Ok);
}

void Recorder::ShowStatus(const std::string& text) {
  if (showStatus) showStatus(text);
}

void Recorder::FreeChunks() {
  chunks_.clear();
  chunks_.shrink_to_fit();
}

}  // namespace velmora
