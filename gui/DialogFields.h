#pragma once
// The number fields of the dialogs and of the main form: how they are made, read and given back
// to the user after a refusal. What a field may hold is core's (dialogs/DialogFields.h).
// User-interface thread only.

#include <functional>
#include <optional>
#include <string>

class wxTextCtrl;
class wxWindow;

namespace velmora {

class Ui;

// A right-aligned edit as wide as its widest text `widest`, showing `text`.
wxTextCtrl* NewNumberField(wxWindow* parent, int id, const char* widest,
                           const std::string& text = std::string());
// The field's text, UTF-8.
std::string FieldText(const wxTextCtrl& field);
// The focus in the field with its whole text selected, to be typed over.
void FocusField(wxTextCtrl& field);
// OK's answer to what core said of the field: a refusal is shown and the focus goes back to the
// field (FocusField). True when there was nothing to refuse.
bool FieldAccepted(Ui& ui, const std::optional<std::string>& refusal, wxTextCtrl& field);
// Reads the edit `field` on every change of its text (`changed`) and once the focus has left it
// (`left`). The second comes once the focus has settled: a message box must not open inside the
// focus change.
void ReadFieldAsTyped(wxWindow& field, std::function<void()> changed, std::function<void()> left);

}  // namespace velmora
