#include "PropertyDlg.h"

#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "UiFont.h"
#include "Utf8Text.h"

namespace velmora {

namespace {

constexpr int kFontPoints = 10;
constexpr int kTabPadding = 48;  // pixels beside a tab's label, generous for common themes

struct FieldRow {
  const char* label;
  int id;
  const char* unit;  // nullptr = none
};

constexpr FieldRow kRows[] = {
    {"サンプリング周波数", propctl::kSampleRate, "Hz"},
    {"量子化ビット数", propctl::kBitsPerSample, "ビット"},
    {"チャンネル数", propctl::kChannelCount, nullptr},
    {"総データ量", propctl::kTotalBytes, "バイト"},
    {"再生時間", propctl::kPlayTime, nullptr},
};

// One tab's labels, fields and units. The numbers are right-aligned; the file name is a wide
// left-aligned field that scrolls sideways.
wxPanel* BuildTab(wxNotebook* tabs) {
  auto* page = new wxPanel(tabs);
  const int gap = page->FromDIP(6);
  auto* grid = new wxFlexGridSizer(3, wxSize(gap, gap));
  const wxSize number = page->FromDIP(wxSize(96, -1));
  for (const FieldRow& row : kRows) {
    grid->Add(new wxStaticText(page, wxID_ANY, U(row.label)), wxSizerFlags().CentreVertical());
    auto* field = new wxTextCtrl(page, row.id, wxEmptyString, wxDefaultPosition, number,
                                 wxTE_READONLY | wxTE_RIGHT);
    grid->Add(field, wxSizerFlags().CentreVertical());
    grid->Add(new wxStaticText(page, wxID_ANY, row.unit != nullptr ? U(row.unit) : wxString()),
              wxSizerFlags().CentreVertical());
  }
  auto* nameRow = new wxBoxSizer(wxHORIZONTAL);
  nameRow->Add(new wxStaticText(page, wxID_ANY, U("ファイル名")),
               wxSizerFlags().CentreVertical().Border(wxRIGHT, gap));
  nameRow->Add(new wxTextCtrl(page, propctl::kFileName, wxEmptyString, wxDefaultPosition,
                              page->FromDIP(wxSize(300, -1)), wxTE_READONLY | wxTE_LEFT),
               wxSizerFlags(1).CentreVertical());
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(grid, wxSizerFlags().Border(wxALL, gap * 2));
  sizer->Add(nameRow, wxSizerFlags().Expand().Border(wxLEFT | wxRIGHT | wxBOTTOM, gap * 2));
  page->SetSizer(sizer);
  return page;
}

void Write(wxTextCtrl* field, const std::string& text) {
  field->ChangeValue(wxString::FromUTF8(text.c_str()));
}

}  // namespace

CPropertyDlg::CPropertyDlg(wxWindow* parent, const PropertyEntries& entries)
    : wxDialog(parent, wxID_ANY, U("プロパティ"), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX, "dialog163"),
      entries_(entries) {
  SetFont(UiFont(kFontPoints));
  tabs_ = new wxNotebook(this, propctl::kTabs);
  // GTK scrolls tabs that do not fit and does not widen the book for them: make room for all
  // five, each with the theme's padding around its label.
  int tabsWidth = 0;
  for (const char* name : kPropertyTabNames) {
    tabs_->AddPage(BuildTab(tabs_), U(name));
    tabsWidth += tabs_->GetTextExtent(U(name)).x + FromDIP(kTabPadding);
  }
  tabs_->SetMinSize(wxSize(tabsWidth, -1));
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(tabs_, wxSizerFlags(1).Expand().Border(wxALL, FromDIP(6)));
  SetSizerAndFit(sizer);
  CentreOnParent();

  tabs_->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this](wxBookCtrlEvent& event) {
    if (event.GetEventObject() == tabs_) ShowTab(event.GetSelection());
    event.Skip();
  });
  // No buttons: Escape closes as the close box does.
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE) {
      Close();
      return;
    }
    event.Skip();
  });
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
    if (IsModal()) {
      EndModal(wxID_CANCEL);
    } else {
      Hide();
    }
  });
  ShowTab(0);
}

wxTextCtrl* CPropertyDlg::Field(int tab, int id) const {
  if (tab < 0 || tab >= static_cast<int>(tabs_->GetPageCount())) return nullptr;
  return dynamic_cast<wxTextCtrl*>(tabs_->GetPage(tab)->FindWindow(id));
}

void CPropertyDlg::ShowTab(int tab) {
  if (tab < 0 || tab >= kPropertyTabCount) return;
  const PropertyTexts texts = TextsOf(entries_[tab]);
  Write(Field(tab, propctl::kSampleRate), texts.sampleRate);
  Write(Field(tab, propctl::kBitsPerSample), texts.bitsPerSample);
  Write(Field(tab, propctl::kChannelCount), texts.channelCount);
  Write(Field(tab, propctl::kTotalBytes), texts.totalBytes);
  Write(Field(tab, propctl::kPlayTime), texts.playTime);
  wxTextCtrl* name = Field(tab, propctl::kFileName);
  Write(name, texts.fileName);
  // A long path shows its beginning.
  name->SetInsertionPoint(0);
  name->ShowPosition(0);
}

}  // namespace velmora
