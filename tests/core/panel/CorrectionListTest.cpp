// The correction list: grouping by interval with the unsigned gap test, both time formats,
// sorting with its four states, and jumping the position slider to a row.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/VelmoraDoc.h"
#include "panel/CorrectionList.h"
#include "seams/ControlIds.h"
#include "support/DocumentFixture.h"
#include "support/FakeCorrectionListWindow.h"
#include "support/FakeForm.h"
#include "support/FakeUi.h"
#include "view/TimeText.h"

namespace velmora {
namespace {

using Runs = std::vector<MixCorrection>;
using Groups = std::vector<std::pair<uint32_t, uint32_t>>;

Groups Pairs(const std::vector<CorrectionGroup>& groups) {
  Groups pairs;
  for (const CorrectionGroup& g : groups) pairs.emplace_back(g.start, g.length);
  return pairs;
}

TEST(CorrectionGrouping, MergesRunsCloserThanTheInterval) {
  const struct {
    const char* name;
    Runs runs;
    int interval;  // combo index
    Groups groups;
  } cases[] = {
      // A gap of 5 frames is 113 μs at 44100 Hz.
      {"50 μs keeps them apart", {{1000, 5}, {1010, 2}}, 0, {{1000, 5}, {1010, 2}}},
      {"200 μs merges them", {{1000, 5}, {1010, 2}}, 2, {{1000, 12}}},
      {"three runs in one", {{0, 2}, {3, 2}, {6, 1}}, 7, {{0, 7}}},
      {"gap equal to the threshold stays apart", {{0, 1}, {9, 1}}, 2, {{0, 1}, {9, 1}}},
      {"a run before its predecessor starts a group",
       {{5000, 3}, {10, 2}, {13, 1}},
       7,
       {{5000, 3}, {10, 4}}},
      {"no runs", {}, 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Pairs(GroupCorrections(c.runs, GapThresholdFrames(c.interval, 44100))), c.groups);
  }
  EXPECT_EQ(GapThresholdFrames(2, 44100), 8);
  EXPECT_EQ(GapThresholdFrames(7, 192000), 1228);
}

TEST(CorrectionFormats, PositionInMicrosecondsAndLengthInSeconds) {
  EXPECT_EQ(FormatCorrectionPosition(2646000, 44100), "01:00.000000");
  EXPECT_EQ(FormatCorrectionPosition(1000, 44100), "00:00.022675");
  EXPECT_EQ(FormatCorrectionPosition(44100u * 3600, 44100), "60:00.000000");
  EXPECT_EQ(FormatCorrectionLength(12, 44100), "0.000272秒");
  EXPECT_EQ(FormatCorrectionLength(110250, 44100), "2.500000秒");
  EXPECT_EQ(PositionTimeText(2646000, 44100), "01:00.000");
  EXPECT_EQ(PositionTimeText(4294967295u, 44100), "1623:11.548");
  EXPECT_EQ(PositionTimeText(1000, 0), "00:00.000");
}

class CorrectionListTest : public ::testing::Test {
 protected:
  CorrectionListTest() : doc(ui), list(form) {
    window.interval = 5;  // anything but the first interval, to see the list choose it
    list.Attach(&window);
    test::DocumentAccess::outHeader(doc).riff.samplesPerSec = 44100;
    // Positions 1 s, 2 s, 3 s with lengths 30, 10, 20 frames.
    test::DocumentAccess::corrections(doc) = {{88200, 10}, {44100, 30}, {132300, 20}};
  }

  test::FakeUi ui;
  test::FakeForm form;
  CVelmoraDoc doc;
  test::FakeCorrectionListWindow window;
  CorrectionList list;
};

TEST_F(CorrectionListTest, ShowingStartsAtFiftyMicrosecondsUnsortedAndRefillsOnIntervalChange) {
  test::DocumentAccess::corrections(doc) = {{1000, 5}, {1010, 2}};
  list.SortBy(1);
  list.Show(doc);
  EXPECT_TRUE(window.shown);
  EXPECT_TRUE(list.visible());
  EXPECT_EQ(window.interval, 0);
  EXPECT_EQ(list.sortState(), 0);
  ASSERT_EQ(window.rows.size(), 2u);
  EXPECT_EQ(window.rows[1].position, "00:00.022902");
  EXPECT_EQ(window.rows[1].length, "0.000045秒");

  window.interval = 2;
  list.Refill();
  ASSERT_EQ(window.rows.size(), 1u);
  EXPECT_EQ(window.rows[0].length, "0.000272秒");

  list.Hide();
  EXPECT_FALSE(window.shown);
}

TEST_F(CorrectionListTest, EmptyLogShowsNothing) {
  test::DocumentAccess::corrections(doc).clear();
  list.Show(doc);
  EXPECT_FALSE(window.shown);
}

TEST_F(CorrectionListTest, ColumnClicksCycleThroughTheFourSortStates) {
  list.Show(doc);
  EXPECT_EQ(window.Positions(),
            (std::vector<std::string>{"00:02.000000", "00:01.000000", "00:03.000000"}));
  const struct {
    int column;
    int32_t state;
    std::vector<uint32_t> starts;
  } clicks[] = {
      {0, 1, {132300, 88200, 44100}},  // first click: descending
      {0, 0, {44100, 88200, 132300}},
      {1, 2, {88200, 132300, 44100}},  // length ascending
      {1, 3, {44100, 132300, 88200}},  // length descending
      {1, 2, {88200, 132300, 44100}},
      {0, 0, {44100, 88200, 132300}},  // from a length order: ascending by position
  };
  for (const auto& c : clicks) {
    list.SortBy(c.column);
    EXPECT_EQ(list.sortState(), c.state);
    std::vector<uint32_t> starts;
    for (const CorrectionGroup& g : list.groups()) starts.push_back(g.start);
    EXPECT_EQ(starts, c.starts);
    ASSERT_EQ(window.rows.size(), 3u);
    EXPECT_EQ(window.rows[0].position, FormatCorrectionPosition(c.starts[0], 44100));
  }
}

TEST_F(CorrectionListTest, SortingOrdersValuesFarApart) {
  test::DocumentAccess::corrections(doc) = {{4000000000u, 1}, {10, 1}, {3000000000u, 1}};
  list.Show(doc);
  list.SortBy(0);
  list.SortBy(0);
  std::vector<uint32_t> starts;
  for (const CorrectionGroup& g : list.groups()) starts.push_back(g.start);
  EXPECT_EQ(starts, (std::vector<uint32_t>{10, 3000000000u, 4000000000u}));
}

TEST_F(CorrectionListTest, ClickAndArrowKeysMoveThePositionSliderAndTime) {
  form.SetRange(ctl::kPositionSlider, 0, 200000);
  list.Show(doc);  // rows: 2 s, 1 s, 3 s

  window.selected = -1;
  list.JumpToSelection();
  EXPECT_EQ(form.At(ctl::kPositionSlider).position, 88200) << "no selection: the first row";
  EXPECT_EQ(form.At(ctl::kPositionTime).text, "00:02.000");

  window.selected = 2;
  list.JumpToSelection();
  EXPECT_EQ(form.At(ctl::kPositionSlider).position, 132300);

  list.OnArrowKey(-1);
  EXPECT_EQ(form.At(ctl::kPositionSlider).position, 44100) << "the row above the selection";
  EXPECT_EQ(form.At(ctl::kPositionTime).text, "00:01.000");

  list.OnArrowKey(+1);
  EXPECT_EQ(form.At(ctl::kPositionSlider).position, 44100) << "no row below the last";

  window.selected = false;
  list.JumpToSelection();
  EXPECT_EQ(form.At(ctl::kPositionSlider).position, 88200) << "a click uses no step";
  list.OnArrowKey(-1);
  EXPECT_EQ(form.At(ctl::kPositionSlider).position, 88200) << "no row above the first";
  list.OnArrowKey(+1);
  EXPECT_EQ(form.At(ctl::kPositionSlider).position, 44100);
}

}  // namespace
}  // namespace velmora
