#pragma once
// The logic of the correction list dialog ("ミキシング補正一覧", CMixStatusDlg): the clamped runs
// of the mix merged by the chosen interval, listed as position and length, sortable by either
// column, and a click away from the position slider. The window itself only shows rows and
// reports clicks; all decisions are made here. User-interface thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "mixdown/MixCorrection.h"

namespace velmora {

class Form;
class CVelmoraDoc;

// One row of the list: runs that lie closer together than the interval, as one stretch.
struct CorrectionGroup {
  uint32_t start = 0;   // first clamped frame of the first run
  uint32_t length = 0;  // frames from start to the end of the last run
};

struct CorrectionRow {
  std::string position;  // "%02d:%02d.%06d"
  std::string length;    // "%d.%06d秒"
};

// The interval combo's items; index 0..7.
inline constexpr int kIntervalCount = 8;
inline constexpr int32_t kIntervalMicros[kIntervalCount] = {50,  100,  200,  400,
                                                            800, 1600, 3200, 6400};
inline constexpr const char* kIntervalLabels[kIntervalCount] = {
    "50μsec", "100μsec", "200μsec", "400μsec", "800μsec", "1600μsec", "3200μsec", "6400μsec"};

namespace caption {
inline constexpr const char* kCorrectionList = "ミキシング補正一覧";
inline constexpr const char* kInterval = "連続とみなす補正間隔";
inline constexpr const char* kPositionColumn = "補正位置";
inline constexpr const char* kLengthColumn = "長さ";
inline constexpr int kPositionColumnWidth = 100;
inline constexpr int kLengthColumnWidth = 120;
}  // namespace caption

// Frames below which the gap between two runs merges them: interval × rate / 1000000.
int32_t GapThresholdFrames(int intervalIndex, int32_t rate);

// Merges consecutive runs whose gap is below `threshold` frames. The gap is computed and compared
// unsigned, so a run that lies before its predecessor (a mix that wrapped) starts a new group.
std::vector<CorrectionGroup> GroupCorrections(const std::vector<MixCorrection>& runs,
                                              int32_t threshold);

// What the dialog's window shows; implemented by the wx dialog, faked in tests.
class CorrectionListWindow {
 public:
  virtual ~CorrectionListWindow() = default;
  virtual void ShowWindow(bool show) = 0;
  // Replaces every row of the list.
  virtual void SetRows(const std::vector<CorrectionRow>& rows) = 0;
  virtual void SelectInterval(int index) = 0;
  virtual int SelectedInterval() const = 0;
  // First selected row, or -1 when none is.
  virtual int FirstSelectedRow() const = 0;
};

class CorrectionList {
 public:
  explicit CorrectionList(Form& form) : form_(form) {}

  void Attach(CorrectionListWindow* window) { window_ = window; }

  // Copies the document's log and mix rate, sorts by nothing, picks 50 μs, fills and shows.
  // Nothing is shown when the log is empty.
  void Show(const CVelmoraDoc& doc);
  // Closing the dialog and every change that makes the mix stale.
  void Hide();
  // The interval combo's selection changed or its list closed.
  void Refill();
  // A click on column 0 ("補正位置") or 1 ("長さ").
  void SortBy(int column);
  // A click in the list: moves the position slider and time to the selected row's start.
  void JumpToSelection() { JumpFrom(0); }
  // Up (-1) or Down (+1), handled before the list moves its selection.
  void OnArrowKey(int step) { JumpFrom(step); }

  const std::vector<CorrectionGroup>& groups() const { return groups_; }
  int32_t sortState() const { return sortState_; }
  bool visible() const { return visible_; }

 private:
  void FillRows();
  void JumpFrom(int32_t keyStep);

  Form& form_;
  CorrectionListWindow* window_ = nullptr;
  // A copy of the log as it was shown, so that a rebuilt mix cannot pull it away.
  std::vector<MixCorrection> source_;
  int32_t rate_ = 0;
  int32_t sortState_ = 0;  // 0/1 after sorting by position, 2/3 after sorting by length
  std::vector<CorrectionGroup> groups_;
  bool visible_ = false;
};

}  // namespace velmora
