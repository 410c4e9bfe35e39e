#include "WxForm.h"

#include <wx/checkbox.h>
#include <wx/gauge.h>
#include <wx/slider.h>
#include <wx/spinbutt.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "DialogFields.h"
#include "UpDownControl.h"

namespace velmora {

namespace {

// A slider made with wxSL_INVERSE (the main form's level and master volume sliders, so that the
// toolkit fills them from the bottom) holds the mirror of the position the form means.
int NativeSliderValue(const wxSlider& slider, int value) {
  return slider.HasFlag(wxSL_INVERSE) ? slider.GetMin() + slider.GetMax() - value : value;
}

}  // namespace

wxWindow* WxForm::Find(int id) const {
  return wxWindow::FindWindowById(id, form_);
}

void WxForm::SetRange(int id, int min, int max) {
  wxWindow* w = Find(id);
  if (auto* slider = dynamic_cast<wxSlider*>(w)) {
    slider->SetRange(min, std::max(max, min + 1));
  } else if (auto* updown = dynamic_cast<UpDownControl*>(w)) {
    updown->SetRange(min, max);
  } else if (auto* spin = dynamic_cast<wxSpinButton*>(w)) {
    spin->SetRange(min, max);
  } else if (auto* gauge = dynamic_cast<wxGauge*>(w)) {
    gauge->SetRange(std::max(max - min, 1));
  }
}

void WxForm::SetPosition(int id, int position) {
  wxWindow* w = Find(id);
  if (auto* slider = dynamic_cast<wxSlider*>(w)) {
    slider->SetValue(
        NativeSliderValue(*slider, std::clamp(position, slider->GetMin(), slider->GetMax())));
  } else if (auto* updown = dynamic_cast<UpDownControl*>(w)) {
    updown->SetValue(position);
  } else if (auto* spin = dynamic_cast<wxSpinButton*>(w)) {
    spin->SetValue(position);
  } else if (auto* gauge = dynamic_cast<wxGauge*>(w)) {
    gauge->SetValue(std::clamp(position, 0, gauge->GetRange()));
  }
}

int WxForm::GetPosition(int id) const {
  wxWindow* w = Find(id);
  if (auto* slider = dynamic_cast<wxSlider*>(w))
    return NativeSliderValue(*slider, slider->GetValue());
  if (auto* updown = dynamic_cast<UpDownControl*>(w)) return updown->GetValue();
  if (auto* spin = dynamic_cast<wxSpinButton*>(w)) return spin->GetValue();
  if (auto* gauge = dynamic_cast<wxGauge*>(w)) return gauge->GetValue();
  return 0;
}

void WxForm::SetTickFrequency(int id, int frequency) {
  if (auto* slider = dynamic_cast<wxSlider*>(Find(id))) slider->SetTickFreq(std::max(frequency, 1));
}

void WxForm::SetText(int id, const std::string& text) {
  wxWindow* w = Find(id);
  if (auto* edit = dynamic_cast<wxTextCtrl*>(w)) {
    edit->ChangeValue(wxString::FromUTF8(text));
  } else if (w != nullptr) {
    w->SetLabel(wxString::FromUTF8(text));
  }
}

std::string WxForm::GetText(int id) const {
  wxWindow* w = Find(id);
  if (auto* edit = dynamic_cast<wxTextCtrl*>(w)) return FieldText(*edit);
  return w != nullptr ? w->GetLabel().utf8_string() : std::string();
}

void WxForm::SelectAllAndFocus(int id) {
  if (auto* edit = dynamic_cast<wxTextCtrl*>(Find(id))) FocusField(*edit);
}

void WxForm::Enable(int id, bool enabled) {
  if (wxWindow* w = Find(id)) w->Enable(enabled);
}

void WxForm::SetCheck(int id, bool checked) {
  if (auto* check = dynamic_cast<wxCheckBox*>(Find(id))) check->SetValue(checked);
}

}  // namespace velmora
