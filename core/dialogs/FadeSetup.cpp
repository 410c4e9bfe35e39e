#include "dialogs/FadeSetup.h"

#include "dialogs/DialogFields.h"
#include "io/Format.h"
#include "mixdown/FadeCurve.h"

namespace velmora {

namespace {

constexpr const char* kTargetNames[] = {"チャンネル1", "チャンネル2", "チャンネル3", "チャンネル4",
                                        "全体"};

}  // namespace

FadeSetupTexts FadeSetup::Texts() const {
  const char* name = target >= 0 && target <= kWholeMix ? kTargetNames[target] : "";
  FadeSetupTexts texts;
  texts.linear = "直線";
  if (isFadeOut) {
    texts.title = Format("フェードアウト設定 - %s", name);
    texts.timeLabel = "フェードアウト時間";
    texts.group = "減衰方法";
    texts.convex = "SIN90～180曲線";
    texts.concave = "SIN180～270曲線";
  } else {
    texts.title = Format("フェードイン設定 - %s", name);
    texts.timeLabel = "フェードイン時間";
    texts.group = "増幅方法";
    texts.convex = "SIN0～90曲線";
    texts.concave = "SIN270～360曲線";
  }
  return texts;
}

int FadeSetup::CheckedRadio() const {
  switch (static_cast<FadeCurve>(curve)) {
    case FadeCurve::Convex:
      return fadectl::kConvex;
    case FadeCurve::Concave:
      return fadectl::kConcave;
    case FadeCurve::Linear:
      return fadectl::kLinear;
  }
  return 0;
}

std::string FadeSetup::TimeText() const {
  return std::to_string(time);
}

std::optional<std::string> FadeSetup::Accept(int checkedRadio, const std::string& timeText) {
  if (checkedRadio == fadectl::kConvex) {
    curve = static_cast<int32_t>(FadeCurve::Convex);
  } else if (checkedRadio == fadectl::kConcave) {
    curve = static_cast<int32_t>(FadeCurve::Concave);
  } else if (checkedRadio == fadectl::kLinear) {
    curve = static_cast<int32_t>(FadeCurve::Linear);
  }
  return AcceptIntegerField(timeText, 0, kMaxFadeMs, time);
}

}  // namespace velmora
