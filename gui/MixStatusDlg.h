#pragma once
// CMixStatusDlg: the modeless correction list "ミキシング補正一覧". Shows the rows core's
// CorrectionList gives it and hands every click, key and choice back; closing only hides it.

#include <wx/dialog.h>

#include "panel/CorrectionList.h"

class wxComboBox;
class wxListCtrl;
class wxListEvent;

namespace velmora {

class CMixStatusDlg : public wxDialog, public CorrectionListWindow {
 public:
  // Created once, hidden, by the view's form.
  CMixStatusDlg(wxWindow* owner, CorrectionList& list);

  void ShowWindow(bool show) override;
  void SetRows(const std::vector<CorrectionRow>& rows) override;
  void SelectInterval(int index) override;
  int SelectedInterval() const override;
  int FirstSelectedRow() const override;

  wxListCtrl* list() const { return list_; }
  wxComboBox* intervals() const { return intervals_; }

 private:
  void OnKeyDown(wxListEvent& event);
  void OnClose(wxCloseEvent& event);

  CorrectionList& corrections_;
  wxListCtrl* list_ = nullptr;
  wxComboBox* intervals_ = nullptr;
};

}  // namespace velmora
