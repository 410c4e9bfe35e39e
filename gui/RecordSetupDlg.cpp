#include "RecordSetupDlg.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "DialogFields.h"
#include "MainFrame.h"
#include "OkCancelLayout.h"
#include "UiFont.h"
#include "Utf8Text.h"
#include "VelmoraApp.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

constexpr int kFontPoints = 9;

}  // namespace

CRecordSetupDlg::CRecordSetupDlg(wxWindow* parent, RecordSetup& values, Ui& ui)
    : wxDialog(parent, wxID_ANY, U("録音設定"), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX, "dialog159"),
      values_(values),
      ui_(ui) {
  SetFont(UiFont(kFontPoints));
  const int gap = FromDIP(8);
  const auto group = [&](const char* label) {
    return new wxStaticBoxSizer(new wxStaticBox(this, wxID_ANY, U(label)), wxVERTICAL);
  };

  auto* rateBox = group("ｻﾝﾌﾟﾘﾝｸﾞ周波数");
  rate_ = new wxChoice(rateBox->GetStaticBox(), recctl::kRate);
  for (const RecordRate& r : kRecordRates) rate_->Append(std::to_string(r.rate));
  rate_->SetSelection(std::clamp(values.rateIndex, 0, static_cast<int>(kRecordRates.size()) - 1));
  rateBox->Add(rate_, wxSizerFlags().Expand().Border(wxALL, gap / 2));

  auto* bitsBox = group("量子化ﾋﾞｯﾄ数");
  bits16_ = new wxRadioButton(bitsBox->GetStaticBox(), recctl::k16Bit, U("16ﾋﾞｯﾄ"),
                              wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
  bits8_ = new wxRadioButton(bitsBox->GetStaticBox(), recctl::k8Bit, U("8ﾋﾞｯﾄ"));
  (values.bitsChoice == 1 ? bits8_ : bits16_)->SetValue(true);
  bitsBox->Add(bits16_, wxSizerFlags().Border(wxALL, gap / 2));
  bitsBox->Add(bits8_, wxSizerFlags().Border(wxALL, gap / 2));

  auto* channelBox = group("ﾁｬﾝﾈﾙ");
  stereo_ = new wxRadioButton(channelBox->GetStaticBox(), recctl::kStereo, U("ｽﾃﾚｵ"),
                              wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
  mono_ = new wxRadioButton(channelBox->GetStaticBox(), recctl::kMono, U("ﾓﾉﾗﾙ"));
  (values.channelsChoice == 1 ? mono_ : stereo_)->SetValue(true);
  channelBox->Add(stereo_, wxSizerFlags().Border(wxALL, gap / 2));
  channelBox->Add(mono_, wxSizerFlags().Border(wxALL, gap / 2));

  auto* formatRow = new wxBoxSizer(wxHORIZONTAL);
  formatRow->Add(rateBox, wxSizerFlags().Border(wxRIGHT, gap));
  formatRow->Add(bitsBox, wxSizerFlags().Border(wxRIGHT, gap));
  formatRow->Add(channelBox);

  simultaneous_ = new wxCheckBox(this, recctl::kSimultaneous, U("同時再生"));
  simultaneous_->SetValue(values.simultaneous);

  auto* timerBox = group("セルフタイマー");
  wxWindow* timerParent = timerBox->GetStaticBox();
  auto* secondsRow = new wxBoxSizer(wxHORIZONTAL);
  seconds_ = NewNumberField(timerParent, recctl::kSeconds, "00000");
  spin_ = new wxSpinButton(timerParent, recctl::kSecondsSpin, wxDefaultPosition, wxDefaultSize,
                           wxSP_VERTICAL | wxSP_ARROW_KEYS);
  spin_->SetRange(0, kMaxSelfTimerSeconds);
  secondsRow->Add(seconds_, wxSizerFlags().CentreVertical());
  secondsRow->Add(spin_, wxSizerFlags().CentreVertical());
  secondsRow->Add(new wxStaticText(timerParent, wxID_ANY, U("秒")),
                  wxSizerFlags().CentreVertical().Border(wxLEFT, gap / 2));
  beeps_ = new wxCheckBox(timerParent, recctl::kBeeps, U("3秒前から音で通知"));
  beeps_->SetValue(values.beeps);
  timerBox->Add(secondsRow, wxSizerFlags().Border(wxALL, gap / 2));
  timerBox->Add(beeps_, wxSizerFlags().Border(wxALL, gap / 2));

  auto* levelBox = group("一時停止からの自動ｽﾀｰﾄ入力ﾚﾍﾞﾙ");
  wxWindow* levelParent = levelBox->GetStaticBox();
  auto* levelRow = new wxBoxSizer(wxHORIZONTAL);
  level_ = new wxSlider(levelParent, recctl::kAutoLevel, values.autoLevel, 0, kMaxAutoStartLevel,
                        wxDefaultPosition, wxSize(FromDIP(160), -1));
  levelRow->Add(new wxStaticText(levelParent, wxID_ANY, "OFF"), wxSizerFlags().CentreVertical());
  levelRow->Add(level_, wxSizerFlags(1).CentreVertical());
  levelRow->Add(new wxStaticText(levelParent, wxID_ANY, "50%"), wxSizerFlags().CentreVertical());
  levelBox->Add(levelRow, wxSizerFlags().Expand().Border(wxALL, gap / 2));

  auto* fields = new wxBoxSizer(wxVERTICAL);
  fields->Add(formatRow, wxSizerFlags().Border(wxBOTTOM, gap));
  fields->Add(simultaneous_, wxSizerFlags().Border(wxBOTTOM, gap));
  fields->Add(timerBox, wxSizerFlags().Expand().Border(wxBOTTOM, gap));
  fields->Add(levelBox, wxSizerFlags().Expand());

  LayOutBesideOkCancel(*this, fields, gap);
  CentreOnParent();

  ShowSeconds();
  spin_->Bind(wxEVT_SPIN_UP, [this](wxSpinEvent& e) { OnSpin(e, +1); });
  spin_->Bind(wxEVT_SPIN_DOWN, [this](wxSpinEvent& e) { OnSpin(e, -1); });
  ReadFieldAsTyped(
      *seconds_, [this] { OnSecondsChanged(); }, [this] { OnSecondsChanged(); });
  level_->Bind(wxEVT_SCROLL_LINEUP, [this](wxScrollEvent& e) {
    values_.OnAutoLevelScroll(ScrollCode::LineUp, e.GetPosition());
  });
  level_->Bind(wxEVT_SCROLL_LINEDOWN, [this](wxScrollEvent& e) {
    values_.OnAutoLevelScroll(ScrollCode::LineDown, e.GetPosition());
  });
  level_->Bind(wxEVT_SCROLL_CHANGED, [this](wxScrollEvent& e) {
    values_.OnAutoLevelScroll(ScrollCode::EndScroll, e.GetPosition());
  });
  Bind(wxEVT_BUTTON, &CRecordSetupDlg::OnOk, this, wxID_OK);
}

void CRecordSetupDlg::ShowSeconds() {
  seconds_->ChangeValue(std::to_string(values_.seconds));  // sends no text event
  spin_->SetValue(std::clamp(values_.seconds, 0, kMaxSelfTimerSeconds));
}

void CRecordSetupDlg::OnSpin(wxSpinEvent& event, int direction) {
  if (!values_.OnSpinDelta(direction)) event.Veto();
  ShowSeconds();
}

void CRecordSetupDlg::OnSecondsChanged() {
  values_.OnSecondsText(FieldText(*seconds_));
  spin_->SetValue(std::clamp(values_.seconds, 0, kMaxSelfTimerSeconds));
}

void CRecordSetupDlg::OnOk(wxCommandEvent&) {
  if (!FieldAccepted(ui_, values_.Accept(FieldText(*seconds_)), *seconds_)) return;
  values_.rateIndex = rate_->GetSelection();
  values_.bitsChoice = bits8_->GetValue() ? 1 : 0;
  values_.channelsChoice = mono_->GetValue() ? 1 : 0;
  values_.simultaneous = simultaneous_->GetValue();
  values_.beeps = beeps_->GetValue();
  // What the track bar shows is what is taken, however it was moved.
  values_.autoLevel = level_->GetValue();
  EndModal(wxID_OK);
}

bool WxRecordSetupWindow::Run(RecordSetup& dialog) {
  CRecordSetupDlg window(TheApp().frame(), dialog, TheApp().ui());
  return window.ShowModal() == wxID_OK;
}

}  // namespace velmora
