// The fade setup dialog's logic: titles and labels per direction and target, the checked curve,
// and the time's validation with the framework's messages.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "dialogs/FadeSetup.h"
#include "mixdown/FadeCurve.h"

namespace velmora {
namespace {

TEST(FadeSetupTest, TitleAndLabelsFollowDirectionAndTarget) {
  FadeSetup in;
  in.target = 2;
  const FadeSetupTexts fadeIn = in.Texts();
  EXPECT_EQ(fadeIn.title, "フェードイン設定 - チャンネル3");
  EXPECT_EQ(fadeIn.timeLabel, "フェードイン時間");
  EXPECT_EQ(fadeIn.group, "増幅方法");
  EXPECT_EQ(fadeIn.convex, "SIN0～90曲線");
  EXPECT_EQ(fadeIn.concave, "SIN270～360曲線");
  EXPECT_EQ(fadeIn.linear, "直線");

  FadeSetup out;
  out.isFadeOut = true;
  out.target = kWholeMix;
  const FadeSetupTexts fadeOut = out.Texts();
  EXPECT_EQ(fadeOut.title, "フェードアウト設定 - 全体");
  EXPECT_EQ(fadeOut.timeLabel, "フェードアウト時間");
  EXPECT_EQ(fadeOut.group, "減衰方法");
  EXPECT_EQ(fadeOut.convex, "SIN90～180曲線");
  EXPECT_EQ(fadeOut.concave, "SIN180～270曲線");
  EXPECT_EQ(fadeOut.linear, "直線");
}

TEST(FadeSetupTest, TheCurveChecksItsRadioAndOkReadsItBack) {
  const struct {
    int32_t curve;
    int radio;
  } cases[] = {{0, fadectl::kConvex}, {1, fadectl::kConcave}, {2, fadectl::kLinear}, {7, 0}};
  for (const auto& c : cases) {
    FadeSetup setup;
    setup.curve = c.curve;
    EXPECT_EQ(setup.CheckedRadio(), c.radio) << c.curve;
    setup.curve = 1;
    ASSERT_FALSE(setup.Accept(c.radio, "0"));
    // No radio checked: the curve keeps its value.
    EXPECT_EQ(setup.curve, c.radio == 0 ? 1 : c.curve) << c.curve;
  }
}

TEST(FadeSetupTest, TimeIsValidatedAsTheFrameworkDoes) {
  const std::string range = "0 から 100000 までの整数を入力してください。";
  const std::string notInteger = "整数を入力してください。";
  const struct {
    const char* text;
    std::optional<int32_t> accepted;
    std::string message;
  } cases[] = {
      {"0", 0, ""},
      {"100000", 100000, ""},
      {"  2500\t", 2500, ""},
      {"+15", 15, ""},
      {"100001", std::nullopt, range},
      {"-1", std::nullopt, range},
      {"99999999999999999999", std::nullopt, range},
      {"", std::nullopt, notInteger},
      {"   ", std::nullopt, notInteger},
      {"12ms", std::nullopt, notInteger},
      {"1.5", std::nullopt, notInteger},
      {"-", std::nullopt, notInteger},
      {"１２", std::nullopt, notInteger},
  };
  for (const auto& c : cases) {
    FadeSetup setup;
    setup.time = 777;
    const std::optional<std::string> refused = setup.Accept(fadectl::kLinear, c.text);
    if (c.accepted) {
      EXPECT_FALSE(refused) << c.text;
      EXPECT_EQ(setup.time, *c.accepted) << c.text;
    } else {
      EXPECT_EQ(refused.value_or(""), c.message) << c.text;
      EXPECT_EQ(setup.time, 777) << c.text;
    }
  }
  FadeSetup shown;
  shown.time = 1500;
  EXPECT_EQ(shown.TimeText(), "1500");
}

}  // namespace
}  // namespace velmora
