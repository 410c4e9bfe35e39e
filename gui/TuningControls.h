#pragma once
// Button ctl::kTuningButton and up-down ctl::kTuningSpin of the form, wired to the tuning tone.

class wxWindow;

namespace velmora {

class TuningTone;

// `form` holds both controls; `tone` must outlive them.
void BindTuningControls(wxWindow* form, TuningTone& tone);

}  // namespace velmora
