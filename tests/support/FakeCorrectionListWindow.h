#pragma once
// The correction list's window as a record of what the list last showed.

#include <string>
#include <vector>

#include "panel/CorrectionList.h"

namespace velmora::test {

class FakeCorrectionListWindow : public CorrectionListWindow {
 public:
  void ShowWindow(bool show) override { shown = show; }
  void SetRows(const std::vector<CorrectionRow>& r) override { rows = r; }
  void SelectInterval(int index) override { interval = index; }
  int SelectedInterval() const override { return interval; }
  int FirstSelectedRow() const override { return selected; }

  // The position column of every row, in order.
  std::vector<std::string> Positions() const {
    std::vector<std::string> texts;
    for (const CorrectionRow& r : rows) texts.push_back(r.position);
    return texts;
  }

  bool shown = false;
  std::vector<CorrectionRow> rows;
  int interval = 0;
  int selected = -1;
};

}  // namespace velmora::test
