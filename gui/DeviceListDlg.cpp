#include "DeviceListDlg.h"

#include <wx/combobox.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <algorithm>
#include <string>

#include "OkCancelLayout.h"
#include "UiFont.h"
#include "Utf8Text.h"

namespace velmora {

namespace {

constexpr int kFontPoints = 9;
constexpr int kListRows = 10;       // rows in view before the list scrolls
constexpr int kHeaderPadding = 24;  // pixels beside a column title, for the theme's header

}  // namespace

CDeviceListDlg::CDeviceListDlg(wxWindow* parent, DeviceList& dialog)
    : wxDialog(parent, wxID_ANY, U("デバイス選択"), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX, "dialog173"),
      dialog_(dialog) {
  SetFont(UiFont(kFontPoints));
  const int gap = FromDIP(8);

  playback_ = AddCombo(devctl::kPlayback, DeviceRole::Playback);
  record_ = AddCombo(devctl::kRecord, DeviceRole::Record);

  formats_ = new wxListCtrl(this, devctl::kFormats, wxDefaultPosition, wxDefaultSize,
                            wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN);
  int listWidth = 0;
  for (std::size_t i = 0; i < kFormatColumns.size(); ++i) {
    const wxString title = U(kFormatColumns[i].title);
    const int width = std::max(FromDIP(kFormatColumns[i].width),
                               formats_->GetTextExtent(title).x + FromDIP(kHeaderPadding));
    formats_->InsertColumn(static_cast<long>(i), title, wxLIST_FORMAT_LEFT, width);
    listWidth += width;
  }
  const int rowHeight = formats_->GetCharHeight() + FromDIP(8);
  formats_->SetMinSize(wxSize(listWidth + FromDIP(24), rowHeight * (kListRows + 2)));

  auto* combos = new wxFlexGridSizer(2, wxSize(gap, gap / 2));
  combos->AddGrowableCol(1);
  combos->Add(new wxStaticText(this, wxID_ANY, U("再生")), wxSizerFlags().CentreVertical());
  combos->Add(playback_, wxSizerFlags().Expand());
  combos->Add(new wxStaticText(this, wxID_ANY, U("録音")), wxSizerFlags().CentreVertical());
  combos->Add(record_, wxSizerFlags().Expand());

  auto* fields = new wxBoxSizer(wxVERTICAL);
  fields->Add(combos, wxSizerFlags().Expand().Border(wxBOTTOM, gap));
  fields->Add(formats_, wxSizerFlags(1).Expand());

  LayOutBesideOkCancel(*this, fields, gap, wxSizerFlags(1).Expand());
  CentreOnParent();

  ShowRows(dialog_.InitialRows());
  playback_->SetFocus();
}

wxComboBox* CDeviceListDlg::AddCombo(int id, DeviceRole role) {
  wxArrayString items;
  for (const std::string& item : dialog_.ComboItems(role)) items.Add(U(item));
  auto* combo = new wxComboBox(this, id, wxEmptyString, wxDefaultPosition, wxDefaultSize, items,
                               wxCB_READONLY);
  const int shown = dialog_.ComboItem(role);
  if (shown >= 0) combo->SetSelection(shown);
  const auto changed = [this, combo, role](wxCommandEvent&) {
    ShowRows(dialog_.OnComboChanged(role, combo->GetSelection()));
  };
  combo->Bind(wxEVT_COMBOBOX, changed);
  combo->Bind(wxEVT_COMBOBOX_CLOSEUP, changed);
  combo->Bind(wxEVT_SET_FOCUS, [this, role](wxFocusEvent& event) {
    ShowRows(dialog_.OnComboFocus(role));
    event.Skip();
  });
  return combo;
}

void CDeviceListDlg::ShowRows(const std::vector<FormatRow>& rows) {
  formats_->Freeze();
  formats_->DeleteAllItems();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const long item = formats_->InsertItem(static_cast<long>(i), U(rows[i].rate));
    formats_->SetItem(item, 1, U(rows[i].bits));
    formats_->SetItem(item, 2, U(rows[i].channels));
  }
  formats_->Thaw();
}

}  // namespace velmora
