#include "DialogFields.h"

#include <wx/textctrl.h>

#include <utility>

#include "Utf8Text.h"
#include "seams/Ui.h"

namespace velmora {

wxTextCtrl* NewNumberField(wxWindow* parent, int id, const char* widest, const std::string& text) {
  auto* field = new wxTextCtrl(parent, id, U(text), wxDefaultPosition, wxDefaultSize, wxTE_RIGHT);
  field->SetInitialSize(field->GetSizeFromTextSize(field->GetTextExtent(widest).x));
  return field;
}

std::string FieldText(const wxTextCtrl& field) {
  return field.GetValue().utf8_string();
}

void FocusField(wxTextCtrl& field) {
  field.SetFocus();
  field.SelectAll();
}

bool FieldAccepted(Ui& ui, const std::optional<std::string>& refusal, wxTextCtrl& field) {
  if (!refusal) return true;
  ui.ShowMessage(*refusal, MessageIcon::Exclamation, MessageButtons::Ok);
  FocusField(field);
  return false;
}

void ReadFieldAsTyped(wxWindow& field, std::function<void()> changed, std::function<void()> left) {
  field.Bind(wxEVT_TEXT, [changed = std::move(changed)](wxCommandEvent&) { changed(); });
  field.Bind(wxEVT_KILL_FOCUS, [&field, left = std::move(left)](wxFocusEvent& event) {
    event.Skip();
    field.CallAfter(left);
  });
}

}  // namespace velmora
