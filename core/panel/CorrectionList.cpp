#include "panel/CorrectionList.h"

#include <algorithm>
#include <climits>
#include <new>

#include "document/VelmoraDoc.h"
#include "seams/ControlIds.h"
#include "seams/Form.h"
#include "seams/Ui.h"
#include "view/TimeText.h"

namespace velmora {

namespace {

int ClampToInt(uint32_t value) {
  return value > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

}  // namespace

int32_t GapThresholdFrames(int intervalIndex, int32_t rate) {
  if (intervalIndex < 0 || intervalIndex >= kIntervalCount) intervalIndex = 0;
  return static_cast<int32_t>(static_cast<int64_t>(kIntervalMicros[intervalIndex]) * rate /
                              1000000);
}

std::vector<CorrectionGroup> GroupCorrections(const std::vector<MixCorrection>& runs,
                                              int32_t threshold) {
  std::vector<CorrectionGroup> groups;
  const uint32_t limit = static_cast<uint32_t>(threshold);
  std::size_t i = 0;
  while (i < runs.size()) {
    CorrectionGroup group{runs[i].start, runs[i].count};
    std::size_t j = i + 1;
    for (; j < runs.size(); ++j) {
      const uint32_t gap = runs[j].start - (runs[j - 1].start + runs[j - 1].count);
      if (gap >= limit) break;
      group.length = runs[j].start + runs[j].count - group.start;
    }
    try {
      groups.push_back(group);
    } catch (const std::bad_alloc&) {
      break;  // the list shows what fitted
    }
    i = j;
  }
  return groups;
}

void CorrectionList::Show(const CVelmoraDoc& doc) {
  if (doc.corrections().empty()) return;
  source_ = doc.corrections();
  rate_ = static_cast<int32_t>(doc.MixRate());
  sortState_ = 0;
  if (window_ != nullptr) window_->SelectInterval(0);
  Refill();
  visible_ = true;
  if (window_ != nullptr) window_->ShowWindow(true);
}

void CorrectionList::Hide() {
  visible_ = false;
  if (window_ != nullptr) window_->ShowWindow(false);
}

void CorrectionList::Refill() {
  const int interval = window_ != nullptr ? window_->SelectedInterval() : 0;
  groups_ = GroupCorrections(source_, GapThresholdFrames(interval, rate_));
  FillRows();
}

void CorrectionList::SortBy(int column) {
  // Ties keep their order; proper comparisons instead of subtracting the values, which
  // misorders values more than 2^31 apart.
  const auto byStart = [](const CorrectionGroup& a, const CorrectionGroup& b) {
    return a.start < b.start;
  };
  const auto byLength = [](const CorrectionGroup& a, const CorrectionGroup& b) {
    return a.length < b.length;
  };
  if (column == 0) {
    if (sortState_ == 0) {
      std::stable_sort(groups_.rbegin(), groups_.rend(), byStart);
      sortState_ = 1;
    } else {
      std::stable_sort(groups_.begin(), groups_.end(), byStart);
      sortState_ = 0;
    }
  } else if (column == 1) {
    if (sortState_ != 2) {
      std::stable_sort(groups_.begin(), groups_.end(), byLength);
      sortState_ = 2;
    } else {
      std::stable_sort(groups_.rbegin(), groups_.rend(), byLength);
      sortState_ = 3;
    }
  } else {
    return;
  }
  FillRows();
}

void CorrectionList::FillRows() {
  if (window_ == nullptr) return;
  std::vector<CorrectionRow> rows;
  rows.reserve(groups_.size());
  for (const CorrectionGroup& group : groups_) {
    rows.push_back({FormatCorrectionPosition(group.start, rate_),
                    FormatCorrectionLength(group.length, rate_)});
  }
  window_->SetRows(rows);
}

void CorrectionList::JumpFrom(int32_t keyStep) {
  const int selected = window_ != nullptr ? window_->FirstSelectedRow() : -1;
  const int64_t row = static_cast<int64_t>(selected < 0 ? 0 : selected) + keyStep;
  if (row < 0 || row >= static_cast<int64_t>(groups_.size())) return;
  const uint32_t start = groups_[static_cast<std::size_t>(row)].start;
  form_.SetPosition(ctl::kPositionSlider, ClampToInt(start));
  form_.SetText(ctl::kPositionTime, PositionTimeText(start, static_cast<uint32_t>(rate_)));
}

}  // namespace velmora
