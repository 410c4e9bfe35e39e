#include "MixStatusDlg.h"

#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "UiFont.h"
#include "Utf8Text.h"

namespace velmora {

// The controls take ids of their own: the dialog is a child of the form, whose controls are
// found by the template's ids (the list's template id is the right meter's).
CMixStatusDlg::CMixStatusDlg(wxWindow* owner, CorrectionList& list)
    : wxDialog(owner, wxID_ANY, U(caption::kCorrectionList), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      corrections_(list) {
  SetFont(UiFont(10));

  wxArrayString choices;
  for (const char* label : kIntervalLabels) choices.Add(U(label));
  intervals_ = new wxComboBox(this, wxID_ANY, choices[0], wxDefaultPosition, wxDefaultSize, choices,
                              wxCB_READONLY);
  intervals_->SetSelection(0);

  list_ = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, FromDIP(wxSize(250, 260)),
                         wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN);
  list_->InsertColumn(0, U(caption::kPositionColumn), wxLIST_FORMAT_LEFT,
                      caption::kPositionColumnWidth);
  list_->InsertColumn(1, U(caption::kLengthColumn), wxLIST_FORMAT_LEFT,
                      caption::kLengthColumnWidth);

  const int gap = FromDIP(8);
  auto* top = new wxBoxSizer(wxHORIZONTAL);
  top->Add(new wxStaticText(this, wxID_ANY, U(caption::kInterval)),
           wxSizerFlags().CentreVertical().Border(wxRIGHT, gap));
  top->Add(intervals_, wxSizerFlags().CentreVertical());
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(top, wxSizerFlags().Border(wxALL, gap));
  sizer->Add(list_, wxSizerFlags(1).Expand().Border(wxLEFT | wxRIGHT, gap));
  sizer->Add(new wxButton(this, wxID_OK, "OK"), wxSizerFlags().Right().Border(wxALL, gap));
  SetSizerAndFit(sizer);

  intervals_->Bind(wxEVT_COMBOBOX, [this](wxCommandEvent&) { corrections_.Refill(); });
  intervals_->Bind(wxEVT_COMBOBOX_CLOSEUP, [this](wxCommandEvent&) { corrections_.Refill(); });
  list_->Bind(wxEVT_LIST_COL_CLICK, [this](wxListEvent& e) { corrections_.SortBy(e.GetColumn()); });
  list_->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent&) { corrections_.JumpToSelection(); });
  list_->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) { corrections_.JumpToSelection(); });
  list_->Bind(wxEVT_LIST_KEY_DOWN, &CMixStatusDlg::OnKeyDown, this);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { corrections_.Hide(); }, wxID_OK);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { corrections_.Hide(); }, wxID_CANCEL);
  Bind(wxEVT_CLOSE_WINDOW, &CMixStatusDlg::OnClose, this);
}

void CMixStatusDlg::ShowWindow(bool show) {
  if (show == IsShown()) {
    if (show) Raise();
    return;
  }
  if (show) CentreOnParent();
  Show(show);
}

void CMixStatusDlg::SetRows(const std::vector<CorrectionRow>& rows) {
  list_->Freeze();
  list_->DeleteAllItems();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const long item = list_->InsertItem(static_cast<long>(i), wxString::FromUTF8(rows[i].position));
    list_->SetItem(item, 1, wxString::FromUTF8(rows[i].length));
  }
  list_->Thaw();
}

void CMixStatusDlg::SelectInterval(int index) {
  intervals_->SetSelection(index);
}

int CMixStatusDlg::SelectedInterval() const {
  const int index = intervals_->GetSelection();
  return index == wxNOT_FOUND ? 0 : index;
}

int CMixStatusDlg::FirstSelectedRow() const {
  return static_cast<int>(list_->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
}

// Up and Down jump to the row next to the selection before the list moves it.
void CMixStatusDlg::OnKeyDown(wxListEvent& event) {
  const int key = event.GetKeyCode();
  if (key == WXK_UP) corrections_.OnArrowKey(-1);
  if (key == WXK_DOWN) corrections_.OnArrowKey(+1);
  event.Skip();
}

void CMixStatusDlg::OnClose(wxCloseEvent& event) {
  if (event.CanVeto()) {
    event.Veto();
    corrections_.Hide();
    return;
  }
  event.Skip();
}

}  // namespace velmora
