#pragma once
// Button 1042 and up-down 1054 of the form, wired to the tuning tone.

class wxWindow;

namespace velmora {

class TuningTone;

// `form` holds both controls; `tone` must outlive them.
void BindTuningControls(wxWindow* form, TuningTone& tone);

}  // namespace velmora
