#pragma once
// The mixer panel of the main form: the four channel strips, the position slider and time, the
// make-mix button and the master volume slider, mapped to the document through the Form seam.
// Every change that affects the mix ends in MarkMixStale. The transport drives the same form
// (play position, meters, timer::kPlayback and kMixWatch) on its own.
//
// User-interface thread only. The window layer passes control ids and scroll codes as the
// native controls report them and shows what the panel returns (the channel context menu).

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "panel/StartupDevices.h"
#include "seams/CommandTarget.h"
#include "view/ViewContext.h"

namespace velmora {

class CVelmoraDoc;
enum class MixBuild;
class CorrectionList;
class Form;
class MasterVolume;
class Ui;
struct ViewSettings;

namespace msg {
inline constexpr const char* kOffsetRange = "0.000～3600.000の間の数値を入力してください！";
}  // namespace msg

// What a track bar reports, in the platform's order of scroll codes.
enum class ScrollCode {
  LineUp,
  LineDown,
  PageUp,
  PageDown,
  ThumbPosition,
  ThumbTrack,
  Top,
  Bottom,
  EndScroll
};

// A rectangle in the form's client coordinates.
struct PanelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  // Inside, not on the border.
  bool StrictlyContains(int px, int py) const {
    return px > x && px < x + width && py > y && py < y + height;
  }
};

// One entry of the channel context menu; command 0 is a separator.
struct ChannelMenuEntry {
  int command = 0;
  std::string label;
};

// Offset field text: seconds with three decimals, "-0.500" for -500 ms.
std::string FormatOffset(int32_t milliseconds);

struct ParsedOffset {
  double seconds = 0;
  int32_t milliseconds = 0;  // seconds × 1000 rounded, halves away from zero
};
// Reads the first line of the field (at most 11 characters) as seconds. Nothing when it does
// not start with a number, or the number is not finite or does not fit in milliseconds.
std::optional<ParsedOffset> ParseOffset(const std::string& fieldText);

// Step sizes of an offset spin while an arrow is held: 1 ms at once, 10 after 1 s, 100 after 2 s.
struct SpinAcceleration {
  int afterMs;
  int step;
};
inline constexpr SpinAcceleration kOffsetSpinAcceleration[] = {{0, 1}, {1000, 10}, {2000, 100}};

// Turns the arrow notifications of a held spin into steps, from the time they arrive. A hold
// ends on release, on a change of direction, or when notifications stop for longer than the
// platform's first auto-repeat delay.
class SpinHold {
 public:
  static constexpr int64_t kHoldGapMs = 750;
  // Signed step for an arrow notification at `nowMs` (any steady clock); direction +1 or -1.
  int Step(int direction, int64_t nowMs);
  void Release() { holding_ = false; }

 private:
  bool holding_ = false;
  int direction_ = 0;
  int64_t holdStartMs_ = 0;
  int64_t lastMs_ = 0;
};

class MixerPanel : public CommandTarget, public ViewUpdateTarget {
 public:
  // All must outlive the panel. `volume` may be null (no mixer control).
  MixerPanel(const ViewContext& context, CorrectionList& corrections, MasterVolume* volume);
  MixerPanel(const MixerPanel&) = delete;
  MixerPanel& operator=(const MixerPanel&) = delete;

  // The four channel frames (ctl::kChannelFrame) in form coordinates, for the context menu.
  void SetChannelFrames(const std::array<PanelRect, 4>& frames) { frames_ = frames; }

  // Once, when the view is first shown: ranges, ticks, the empty position display, the master
  // volume and the tuning button's caption.
  void Initialise();
  // The view's update: strips from the slots, the position slider, the make-mix button, the
  // master volume, and (unless told not to) the recording format adopted from the mix.
  void Refresh(bool adoptMixFormat = true);
  // Files named at start-up may be loaded before the first showing: the refresh follows.
  void OnInitialUpdate() override {
    Initialise();
    Refresh();
  }
  void OnUpdate(const DocumentNotice& notice) override;

  // The start-up survey of the sound system, once it is done (the view runs it on a worker
  // thread after the window shows; this runs on the user-interface thread). The devices are kept;
  // the largest input mask becomes maxInputFormats and gives the start-up recording format and
  // block length, unless a mix already has a format, which the view keeps as a refresh would.
  void AdoptDeviceSurvey(const DeviceSurvey& survey);
  const DeviceSurvey& devices() const { return devices_; }

  // After every change that affects the mix. With markModified the document's modified flag and
  // the stale mix follow whether any channel is loaded; the correction list is hidden in any case.
  void MarkMixStale(bool markModified);

  // Make-mix (button ctl::kMakeMix), the correction list (cmd::kCorrections), mono playback
  // (kMonoPlayback), channel selection (kSelectChannel), release (kReleaseChannel) and mono
  // conversion (kConvertToMono), each per-channel one for all four. False for any other id.
  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override;
  void MakeMix();

  // Scroll notifications of the level and balance sliders, the position slider and the master
  // volume slider. Other ids are ignored.
  void OnScroll(int controlId, ScrollCode code);

  // An offset spin's arrow (direction +1 up, -1 down) at `nowMs`, accelerated while held.
  void OnOffsetSpinArrow(int spinId, int direction, int64_t nowMs);
  void OnOffsetSpinReleased(int spinId);
  // The spin's change request: refused beyond 0 and 3600000, then the field is rewritten.
  void OnOffsetSpinDelta(int spinId, int delta);
  // The offset field's text changed (typed, or rewritten by the panel).
  void OnOffsetTextChanged(int editId);
  // The offset field lost the focus: a value outside 0.000..3600.000 is refused with a message.
  void OnOffsetFocusLost(int editId);

  // Entries of the channel context menu for a right click at (x, y) in form coordinates; empty
  // when no menu is shown.
  std::vector<ChannelMenuEntry> ContextMenuAt(int x, int y) const;

  // The control that has the keyboard focus when the window first shows: the first enabled
  // control of the first loaded channel (its level slider); with no channel loaded, the first
  // enabled control after the strips, the tuning button. Never the time field, which only shows.
  int InitialFocusControl() const;

  // Files dropped on the view, loaded in order into the empty channels.
  void OnFilesDropped(const std::vector<std::string>& paths);

  bool offsetEchoGuard() const { return offsetEchoGuard_; }

  // The build the make-mix button runs on this thread: the document's BuildMix with the view's
  // block length unless replaced. The view puts the transport's there, which stops a playback
  // of the mix around the build and lets it play on with the new mix.
  std::function<MixBuild()> buildMix;

 private:
  // A channel's level or balance slider: its value after one step up or down within 0..max, or
  // the slider's position at the end of a drag; nothing for the other codes.
  std::optional<int32_t> MovedSliderValue(int32_t value, int32_t max, int sliderId,
                                          ScrollCode code) const;
  void OnPositionScroll(ScrollCode code);
  void OnMasterVolumeScroll(ScrollCode code);
  void ShowPosition(uint32_t frame);
  // Writes the offset text of a channel; the native edit reports the write as a text change,
  // which the panel runs itself so that every form behaves alike.
  void WriteOffsetText(int channel, bool echoGuard);
  void SetSpin(int channel, int32_t milliseconds);
  void RefreshChannel(int channel);
  void RefreshMasterVolume();
  void AdoptMixFormat();
  bool CommandEnabled(int id) const;

  CVelmoraDoc& doc_;
  Form& form_;
  Ui& ui_;
  ViewSettings& view_;
  CorrectionList& corrections_;
  MasterVolume* volume_;
  std::array<PanelRect, 4> frames_{};
  std::array<SpinHold, 4> spinHolds_{};
  bool offsetEchoGuard_ = false;  // while the panel itself rewrites an offset field
  DeviceSurvey devices_;
};

}  // namespace velmora
