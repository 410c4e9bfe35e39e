#pragma once
// The recording settings: the dialog's logic (template 159, "録音設定") and the command that runs
// it (cmd::kRecordSetup), with its checks of the rate family against the loaded channels and of the
// format against what the input devices take. The window shows the values and hands the user's
// actions back; every rule is here.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "panel/MixerPanel.h"
#include "seams/CommandTarget.h"
#include "view/ViewContext.h"

namespace velmora {

class CVelmoraDoc;
class Ui;
struct RecordOptions;
struct ViewSettings;

namespace recctl {
constexpr int kRate = 1032;
constexpr int k16Bit = 1038;
constexpr int k8Bit = 1039;
constexpr int kStereo = 1010;
constexpr int kMono = 1013;
constexpr int kSimultaneous = 1011;
constexpr int kSeconds = 1007;
constexpr int kSecondsSpin = 1006;
constexpr int kBeeps = 1012;
constexpr int kAutoLevel = 1055;
}  // namespace recctl

namespace msg {
inline constexpr const char* kCannotChangeSettings = "設定変更できません！";
inline constexpr const char* kRecordRateMismatch = "サンプリング周波数が一致しません！";
inline constexpr const char* kUnsupportedRecordFormat =
    "選択した設定は正式にサポートされていません。\r続行しますか？";
}  // namespace msg

struct RecordRate {
  uint32_t rate;
  uint32_t blockFrames;
};
// The rate list in the order of the drop-down.
inline constexpr std::array<RecordRate, 6> kRecordRates = {
    {{192000, 8192}, {96000, 4096}, {48000, 2048}, {44100, 2048}, {22050, 1024}, {11025, 512}}};
// Index of a rate in kRecordRates, or -1.
int RecordRateIndex(uint32_t rate);

constexpr int32_t kMaxSelfTimerSeconds = 3600;
constexpr int32_t kMaxAutoStartLevel = 50;

class RecordSetup {
 public:
  // The dialog's values: filled before it runs, read after OK.
  int rateIndex = 3;       // into kRecordRates
  int bitsChoice = 0;      // 0 = 16-bit, 1 = 8-bit
  int channelsChoice = 0;  // 0 = stereo, 1 = mono
  bool simultaneous = true;
  int32_t seconds = 0;  // self-timer
  bool beeps = false;
  int32_t autoLevel = 0;

  // An up-down step of `delta`: true when it is taken. A result outside 0..3600 is refused and
  // the seconds (and the up-down) go to the bound instead.
  bool OnSpinDelta(int delta);
  // The edit changed or lost the focus: an integer in it becomes the seconds (the up-down's
  // position); other text is left for OK to refuse.
  void OnSecondsText(const std::string& text);
  // Track bar notifications: a line step moves by 1 within 0..50, the end of tracking takes
  // the track bar's position; nothing else changes the level.
  void OnAutoLevelScroll(ScrollCode code, int trackBarPosition);
  // OK with the edit's text: the seconds must be an integer from 0 to 3600. Returns the message
  // that keeps the dialog open (the focus goes back to the edit).
  std::optional<std::string> Accept(const std::string& secondsText);
};

// The dialog window, modal. True for OK (the values are then read back), false for Cancel.
class RecordSetupWindow {
 public:
  virtual ~RecordSetupWindow() = default;
  virtual bool Run(RecordSetup& dialog) = 0;
};

// cmd::kRecordSetup.
class RecordSetupCommand : public CommandTarget {
 public:
  // All must outlive the command.
  RecordSetupCommand(const ViewContext& context, RecordOptions& options, RecordSetupWindow& window);
  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override;
  void Run();

 private:
  CVelmoraDoc& doc_;
  Ui& ui_;
  ViewSettings& view_;
  RecordOptions& options_;
  RecordSetupWindow& window_;
};

}  // namespace velmora
