#include "FadeinSetupDlg.h"

#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "DialogFields.h"
#include "OkCancelLayout.h"
#include "UiFont.h"
#include "Utf8Text.h"
#include "dialogs/FadeSetup.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

constexpr int kFontPoints = 9;

}  // namespace

CFadeinSetupDlg::CFadeinSetupDlg(wxWindow* parent, FadeSetup& setup, Ui& ui)
    : wxDialog(parent, wxID_ANY, U(setup.Texts().title), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX, "dialog144"),
      setup_(setup),
      ui_(ui) {
  SetFont(UiFont(kFontPoints));
  const FadeSetupTexts texts = setup.Texts();
  const int gap = FromDIP(8);

  auto* timeRow = new wxBoxSizer(wxHORIZONTAL);
  timeRow->Add(new wxStaticText(this, fadectl::kTimeLabel, U(texts.timeLabel)),
               wxSizerFlags().CentreVertical().Border(wxRIGHT, gap));
  time_ = NewNumberField(this, fadectl::kTime, "0000000", setup.TimeText());
  timeRow->Add(time_, wxSizerFlags().CentreVertical());
  timeRow->Add(new wxStaticText(this, wxID_ANY, U("ﾐﾘ秒")),
               wxSizerFlags().CentreVertical().Border(wxLEFT, gap / 2));

  auto* box = new wxStaticBox(this, fadectl::kCurveGroup, U(texts.group));
  auto* group = new wxStaticBoxSizer(box, wxVERTICAL);
  convex_ = new wxRadioButton(box, fadectl::kConvex, U(texts.convex), wxDefaultPosition,
                              wxDefaultSize, wxRB_GROUP);
  concave_ = new wxRadioButton(box, fadectl::kConcave, U(texts.concave));
  linear_ = new wxRadioButton(box, fadectl::kLinear, U(texts.linear));
  for (wxRadioButton* radio : {convex_, concave_, linear_}) {
    group->Add(radio, wxSizerFlags().Border(wxALL, gap / 2));
    radio->SetValue(radio->GetId() == setup.CheckedRadio());
  }

  auto* fields = new wxBoxSizer(wxVERTICAL);
  fields->Add(timeRow, wxSizerFlags().Border(wxBOTTOM, gap));
  fields->Add(group, wxSizerFlags().Expand());

  LayOutBesideOkCancel(*this, fields, gap);
  CentreOnParent();

  Bind(wxEVT_BUTTON, &CFadeinSetupDlg::OnOk, this, wxID_OK);
  FocusField(*time_);
}

int CFadeinSetupDlg::CheckedRadio() const {
  for (const wxRadioButton* radio : {convex_, concave_, linear_}) {
    if (radio->GetValue()) return radio->GetId();
  }
  return 0;
}

void CFadeinSetupDlg::OnOk(wxCommandEvent&) {
  if (FieldAccepted(ui_, setup_.Accept(CheckedRadio(), FieldText(*time_)), *time_)) {
    EndModal(wxID_OK);
  }
}

}  // namespace velmora
