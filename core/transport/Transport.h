#pragma once
// Playback of the mix: Play, Pause, Stop, the position commands and the marks, and the view's
// timers that keep the device fed and move the slider, the time display and the meters.
//
// Blocks are never copied: each queued block points into the document's mixBuffer. While a
// background mixdown is still running, a block is queued only once the kernel has finished every
// frame of it; a block that is not ready waits for a later tick.
//
// Everything here runs on the user-interface thread (commands and timer ticks).

#include <cstdint>
#include <functional>
#include <string>

#include "seams/CommandTarget.h"
#include "seams/TimerIds.h"
#include "view/ViewContext.h"

namespace velmora {

class CVelmoraDoc;
enum class MixBuild;
class Form;
class Timers;
class Ui;
class WaveDevice;
class Result;
struct ViewSettings;

namespace msg {
inline constexpr const char* kNoPlayData = "再生するデータがありません！";
inline constexpr const char* kPlaybackInitFailed = "再生処理の初期化に失敗しました！";
inline constexpr const char* kPlaybackStartFailed = "再生処理の開始に失敗しました！";
inline constexpr const char* kMakeMixCaption = "再生音作成";
inline constexpr const char* kMakingMixCaption = "再生音作成中";
}  // namespace msg

namespace timer {
constexpr int kTransportIntervalMs = 100;
}  // namespace timer

class Transport : public CommandTarget, public TimerTarget {
 public:
  // All must outlive the transport. `playDevice` is the view's output device.
  Transport(const ViewContext& context, WaveDevice& playDevice);
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // The transport's commands (play, stop, pause, go to start / end / a channel's offset, the
  // marks). False for any other id.
  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override;
  // timer::kPlayback and kMixWatch; other ids are not the transport's.
  void OnTimer(int id) override;
  // The view's window is going: close a running playback.
  void OnDestroy();

  // With setUpBlocks false (the recorder's self-timer start) the device's blocks are left as
  // they are and, while recording, the device is not opened. A running playback is closed
  // before a build that replaces the mix under it.
  void Play(bool setUpBlocks = true);
  // The make-mix button's build, on this thread. A playback of the mix (playing, or along a
  // recording) is stopped first, so that the sound thread never reads the mix while it is
  // rewritten or freed, and plays on afterwards with the new mix from the frame it had reached,
  // paused as it was; it ends there when the new mix is not that long.
  MixBuild BuildMixNow();
  // Sets up the playback blocks from the position, as Play does, and opens the output paused
  // (the recorder's countdown: the mix then starts together with the input). False when there
  // is nothing to play or the output does not open.
  bool ArmPlaybackAtPosition();
  void Stop();
  void TogglePause();
  void GoToStart();
  void GoToEnd();
  void GoToOffset(int channel);
  void ToggleStartMark();
  void ToggleEndMark();

  // Set once Pause paused a sounding playback; Play does nothing while it is.
  bool pausedPlayback = false;
  uint32_t startFrame = 0;       // mix frame where the running playback started
  uint32_t remainingFrames = 0;  // frames to play from startFrame

  // The mix build Play asks for: the document's BuildMix unless replaced (tests put a scripted
  // background build here).
  std::function<MixBuild(uint32_t blockFrames, bool runInWorker)> buildMix;
  // How Play waits while the background build has not yet mixed the first blocks; sleeps 10 ms
  // unless replaced (tests replace it so that nothing sleeps).
  std::function<void()> waitForMix;
  // The recorder's part of Stop while recording; false keeps the state Recording (the take
  // could not be stored yet and a further Stop tries again).
  std::function<bool()> stopRecording;

 private:
  // Builds the mix (or starts its background build) from the position and waits until the
  // first blocks to play are mixed, with the wait cursor. False when the mix ends at or before
  // the position.
  bool BuildAndWaitForFirstBlocks();
  // Closes a running output when the build about to run will replace the mix it reads; true
  // when it did.
  bool CloseOutputBeforeRebuild();
  // The playback was closed and nothing plays in its place: a playing transport stops.
  void EndClosedPlayback();
  // Opens the playback again from `frame` of the (new) mix, after BuildMixNow.
  void PlayOn(uint32_t frame, bool startPaused);
  // Play's block set-up from mix frame `from`: the device's format, the block length of this
  // playback, startFrame, remainingFrames and the first blocks. False when no block was set.
  bool SetUpBlocks(uint32_t from);
  // The mix frame where the block now sounding starts.
  uint32_t SoundingFrame() const;
  void PlaybackTick();
  // A stream that failed ends the playback, with the device's message shown once.
  void EndOnDeviceFailure(const Result& failure);
  void MixWatchTick();

  // Frames to play from `from`: through the end mark when it lies after `from`, else to the end
  // of the mix; never past the end of the mix.
  uint32_t PlayLength(uint32_t from) const;
  // Whether the mixdown has finished every frame of [first, end) of the mix.
  bool FramesMixed(uint32_t first, uint32_t end) const;
  // Mix frames [first, end) of playback block n.
  uint32_t BlockFirst(uint32_t n) const;
  uint32_t BlockEnd(uint32_t n) const;
  uint8_t* BlockAddress(uint32_t n);
  // Points blocks from `first` on into the mix while the ring has room (below doneCount + 128),
  // the playback has frames left and the mixdown has finished them; sets lastBlockLength when
  // the final block is among them and lastIndex to the last block set. Returns the number of
  // the first block not set.
  uint32_t SetBlocks(uint32_t first, uint32_t ringLimit);

  void SetSliderRange();
  void ShowPosition(uint32_t frame);  // slider and time display
  void MoveTo(uint32_t frame);        // position, slider and time display
  void SetMeters(int left, int right);
  void EnableChannelControls(int channel, bool enabled);

  CVelmoraDoc& doc_;
  Ui& ui_;
  Form& form_;
  Timers& timers_;
  ViewSettings& view_;
  WaveDevice& playDevice_;
  // Frames per block of the running (or last) playback, fixed while it runs.
  uint32_t blockFrames_ = 2048;
  // Frame the running (or last) background build started at: the kernel mixes from there to the
  // end and then wraps to frame 0.
  uint32_t buildStart_ = 0;
  // The final block has come back and the sound system is given a tick to play it out.
  bool finalBlockBack_ = false;
};

}  // namespace velmora
