#pragma once
// The fade setup dialog's logic (template 144): the title and labels for the direction and the
// target, which curve radio is checked, and OK's reading of the radios and of the time with the
// framework's integer validation. The window shows what this gives and hands OK back.

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

namespace fadectl {
constexpr int kTime = 1007;
constexpr int kLinear = 1029;
constexpr int kConvex = 1030;
constexpr int kConcave = 1031;
constexpr int kTimeLabel = 1036;
constexpr int kCurveGroup = 1037;
}  // namespace fadectl

// The texts of the dialog for one direction and target.
struct FadeSetupTexts {
  std::string title;      // "フェードイン設定 - チャンネル1"
  std::string timeLabel;  // fadectl::kTimeLabel
  std::string group;      // fadectl::kCurveGroup
  std::string convex;     // fadectl::kConvex
  std::string concave;    // fadectl::kConcave
  std::string linear;     // fadectl::kLinear
};

class FadeSetup {
 public:
  // Set by the caller before the dialog runs; curve and time are read back after OK.
  int32_t time = 0;   // milliseconds, 0..100000
  int32_t curve = 0;  // FadeCurve 0, 1 or 2
  bool isFadeOut = false;
  int32_t target = 0;  // 0..3 = channel 1..4, 4 = whole mix

  FadeSetupTexts Texts() const;
  // The radio of `curve` (fadectl::kConvex, kConcave or kLinear), or 0 when it names no curve.
  int CheckedRadio() const;
  // What the time edit shows.
  std::string TimeText() const;

  // OK with the radio that is checked (0 = none) and the edit's text: the curve is taken from
  // the radio, then the time is read and checked. Returns the message to show when the time is
  // refused (the dialog then stays open with the focus on the edit); time keeps its value then.
  std::optional<std::string> Accept(int checkedRadio, const std::string& timeText);
};

}  // namespace velmora
