#pragma once
// Recording into the first empty channel: Record, the self-timer countdown with its beeps, the
// recording tick (timer::kRecording) that copies the input ring's filled blocks into chunks, and
// Stop, which joins the chunks into the slot. The input device fills a ring of 128 blocks; a block
// is handed back only once the tick has copied it, so a tick late by less than the ring loses
// nothing. Frames the input lost (a stall longer than the ring, or the sound system's overflow)
// are counted and stored as silence of the same length, so the take stays in time.
//
// Everything here runs on the user-interface thread (commands and timer ticks); the input
// callback only fills blocks and counts them (audio/WaveDevice.h). A recovery writer, when one
// is given, copies every stored frame to a file on its own thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/ByteBuffer.h"
#include "seams/CommandTarget.h"
#include "seams/TimerIds.h"
#include "view/ViewContext.h"

namespace velmora {

class CVelmoraDoc;
class Form;
class MixerPanel;
class Timers;
class Transport;
class TuningTone;
class Ui;
class WaveDevice;
class RecoveryWriter;
class Result;
struct TakePlacement;
struct ViewSettings;

namespace msg {
inline constexpr const char* kNoFreeChannel = "空きチャンネルがありません！";
inline constexpr const char* kRecordInitFailed = "録音処理の初期化に失敗しました！";
inline constexpr const char* kRecordStartFailed = "録音処理の開始に失敗しました！";
// While recording and after Stop, in the status bar.
inline constexpr const char* kRecordingStatus = "録音中  欠落フレーム: %u";
inline constexpr const char* kRecordedStatus = "録音終了  遅延補正: %.1f ms";
// Before anything is stored: the self-timer counting down, the input level not yet reached.
inline constexpr const char* kCountdownStatus = "録音待機中  セルフタイマー: あと %d 秒";
inline constexpr const char* kWaitingForLevelStatus = "録音待機中  入力レベル %d%% で開始";
inline constexpr const char* kRecordedNoPlaybackStatus = "録音終了";
// A take that lost input frames: how many, in how many places, and the first places.
inline constexpr const char* kDropoutWarning =
    "録音中に入力が %u フレーム（%s 秒）欠落しました。\n欠落した部分は無音で補っています。\n"
    "欠落箇所（録音の先頭から）: %s";
// A take whose recovery file could not be made or written: it is whole in the channel, but a
// crash would lose it.
inline constexpr const char* kRecoveryFailed =
    "録音データの予備ファイルを書き込めませんでした。\n"
    "この録音は、異常終了に備えたディスクへの保存がされていません。\n"
    "ディスクの空き容量と書き込み権限を確かめてください。";
// Added to the recording status while the recovery file is not being written.
inline constexpr const char* kRecoveryFailedStatus = "  予備ファイル書き込み失敗";
}  // namespace msg

namespace timer {
constexpr int kFirstRecordingTickMs = 150;
constexpr int kCountdownMs = 1000;
}  // namespace timer

// The recording options of the settings dialog beside the format (ViewSettings).
struct RecordOptions {
  bool simultaneousPlayback = true;  // "同時再生"
  int32_t selfTimerSeconds = 0;      // 0..3600; 0 = start at once
  bool beepBeforeStart = false;      // "3秒前から音で通知"
  int32_t autoStartLevel = 0;        // 0 = off, else percent of full scale (up to 50)
};

// The countdown's big number, a borderless window over the view.
class CountdownWindow {
 public:
  virtual ~CountdownWindow() = default;
  // Shows the window (placed first, centred over the view on the first show) with `seconds`.
  virtual void ShowNumber(int seconds) = 0;
  virtual void Hide() = 0;
};

// Where a dropout fell: the take's frame where the silence starts and its length.
struct Dropout {
  uint32_t frame = 0;
  uint32_t frames = 0;
};

// The view's parts a recording works with besides the context; all must outlive the recorder.
struct RecordingParts {
  Transport& transport;
  TuningTone& tone;  // plays the countdown's beeps
  MixerPanel& panel;
  WaveDevice& playDevice;
  WaveDevice& recordDevice;
  CountdownWindow& countdown;
};

class Recorder : public CommandTarget, public TimerTarget {
 public:
  // Installs itself as the transport's Stop for recordings and tells the tone when a countdown
  // runs.
  Recorder(const ViewContext& context, const RecordingParts& parts);
  ~Recorder() override;
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Record (cmd::kRecord). The settings command is RecordSetupCommand's.
  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override;
  // timer::kRecording and kCountdown, and kToneAndBeep (the beep's check) while a countdown
  // runs.
  void OnTimer(int id) override;
  // The view's window is going: a running recording is closed (nothing is stored).
  void OnDestroy();

  void Record();
  // The recording part of Stop. False when the take could not be stored (no memory for the
  // slot): the transport then stays Recording with the chunks kept, and a further Stop retries.
  bool StopRecording();
  RecordOptions options;

  // ---- State (read by the window layer and the tests) ----
  bool countdownActive() const { return countdownActive_; }
  int32_t countdownRemaining() const { return countdownRemaining_; }
  bool simultaneousActive() const { return simultaneousActive_; }
  uint32_t recordedFrames() const { return recordedFrames_; }
  uint32_t startFrame() const { return startFrame_; }
  size_t chunkCount() const { return chunks_.size(); }
  uint32_t lostFrames() const { return lostFrames_; }
  const std::vector<Dropout>& dropouts() const { return dropouts_; }
  // Milliseconds taken off the last take's offset for the playback's and the input's delay.
  double appliedLatencyMs() const { return appliedLatencyMs_; }

  // Status-bar text (first field); nothing shown when unset.
  std::function<void(const std::string&)> showStatus;
  // The latency to take off a take recorded along the playback when the take does not hold the
  // played mix (so it cannot be measured), in seconds: the open streams' reported output and
  // input latency unless replaced.
  std::function<double()> roundTripLatency;
  // Makes the recovery writer of a new take (rate, bits, channels); null = no recovery file.
  std::function<std::unique_ptr<RecoveryWriter>(uint32_t, uint16_t, uint16_t)> openRecovery;
  // Told when Stop has stored a take into `slot`, with its recovery writer (finished), if any.
  std::function<void(int slot, std::unique_ptr<RecoveryWriter>)> takeStored;

 private:
  bool AllocateRing();
  void StartRunning();
  void UpdateLatency();
  void CountdownTick();
  void BeepCheckTick();
  void RecordingTick();
  // Stores (or, while paused, lets go) the blocks the input has filled since the last call, the
  // last one partly filled after the input closed; false when there were none.
  bool TakeFilledBlocks();
  // Stores the frames of one returned block, with the silence for frames lost in it.
  void StoreBlock(uint32_t slot);
  // First block from `taken` to `filled` - 1 with a sample at or above the auto-start level,
  // or `filled` when none.
  uint32_t FirstLoudBlock(uint32_t taken, uint32_t filled) const;
  // Appends frames to the chunks (silence when `source` is null); false when a chunk could not
  // be allocated (the frames that fitted are kept).
  bool AppendFrames(const uint8_t* source, uint32_t frames);
  void ShowMeters(uint32_t block);
  void ShowRecordedTime();
  // The mix position the take has reached, on the position slider as well when there is a mix.
  void ShowTakePosition();
  void ShowCountdownTime();
  // A dead input ends the recording as Stop would, keeping what was collected.
  void EndOnInputFailure(const Result& failure);
  bool StoreTake();
  // Where the take goes in the mix (its channel, offset and the lead-in cut), less
  // `latencyFrames` of delay.
  TakePlacement Placement(double latencyFrames) const;
  // The round trip in take frames, when the take holds the mix it was recorded along.
  std::optional<uint32_t> MeasureLoopback() const;
  int32_t TakeSample(uint32_t frame) const;  // left (or only) side, as 16-bit
  void WarnAboutDropouts();
  // The recording status: the frames lost so far, and whether the recovery file is written.
  void ShowRecordingStatus(uint32_t lostFrames);
  // True when the take is meant to have a recovery file and has none that holds it.
  bool RecoveryLost() const;
  void ShowStatus(const std::string& text);
  uint32_t BlockBytes() const;
  uint32_t FrameBytes() const;
  uint64_t ChunkBytes() const;  // 128 blocks
  void FreeChunks();

  CVelmoraDoc& doc_;
  Ui& ui_;
  Form& form_;
  Timers& timers_;
  ViewSettings& view_;
  Transport& transport_;
  TuningTone& tone_;
  MixerPanel& panel_;
  WaveDevice& playDevice_;
  WaveDevice& recordDevice_;
  CountdownWindow& countdown_;

  ByteBuffer recordRing_;
  std::vector<ByteBuffer> chunks_;  // 128 blocks each; the last one partly filled
  bool stopping_ = false;
  bool simultaneousActive_ = false;
  bool countdownActive_ = false;
  int32_t countdownRemaining_ = 0;
  uint32_t recordedFrames_ = 0;
  uint32_t startFrame_ = 0;
  // The mix rate the recording started against; 0 = no mix, and the take's offset is 0.
  uint32_t startMixRate_ = 0;
  // The format of the running recording, fixed at Record.
  uint32_t rate_ = 0;
  uint16_t bits_ = 16;
  uint16_t channels_ = 2;
  uint32_t blockFrames_ = 0;
  // Frames discarded from the start of the input while the playback was already sounding and
  // nothing was stored yet (auto start); the take starts that much later in the mix.
  uint32_t leadingDiscarded_ = 0;
  bool inputRunning_ = false;
  bool collecting_ = true;  // false once a chunk could not be allocated
  uint32_t lostFrames_ = 0;
  std::vector<Dropout> dropouts_;
  double latencySeconds_ = 0;
  double appliedLatencyMs_ = 0;
  std::unique_ptr<RecoveryWriter> recovery_;
  bool recoveryLost_ = false;  // of the take last stored
};

}  // namespace velmora
