#include "dialogs/FadeSetup.h"

#include <cctype>
#include <climits>

#include "io/Format.h"
#include "mixdown/FadeCurve.h"

namespace velmora {

namespace {

constexpr const char* kTargetNames[] = {"チャンネル1", "チャンネル2", "チャンネル3", "チャンネル4",
                                        "全体"};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

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

std::optional<std::string> AcceptIntegerField(const std::string& text, int32_t min, int32_t max,
                                              int32_t& value) {
  const std::optional<int64_t> parsed = ParseIntegerField(text);
  if (!parsed) return std::string(msg::kNotAnInteger);
  if (*parsed < min || *parsed > max) return Format(msg::kIntegerRange, min, max);
  value = static_cast<int32_t>(*parsed);
  return std::nullopt;
}

std::optional<int64_t> ParseIntegerField(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t digitsStart = i;
  int64_t magnitude = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0; ++i) {
    // Saturate well beyond the int range; the caller's range check refuses such a number.
    if (magnitude <= int64_t{INT_MAX} + 1) magnitude = magnitude * 10 + (text[i] - '0');
  }
  if (i == digitsStart) return std::nullopt;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i != text.size()) return std::nullopt;
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT_MAX) return int64_t{INT_MAX};
  if (value < INT_MIN) return int64_t{INT_MIN};
  return value;
}

}  // namespace velmora
