#include "TuningControls.h"

#include <wx/button.h>
#include <wx/spinbutt.h>
#include <wx/window.h>

#include "seams/ControlIds.h"
#include "transport/TuningTone.h"

namespace velmora {

void BindTuningControls(wxWindow* form, TuningTone& tone) {
  wxWindow::FindWindowById(ctl::kTuningButton, form)->Bind(wxEVT_BUTTON, [&tone](wxCommandEvent&) {
    tone.OnButton();
  });
  // The form's own up-down sends one arrow event per click (and per repeat while held), also at
  // the ends of any range, so every click is one hertz.
  wxWindow* spin = wxWindow::FindWindowById(ctl::kTuningSpin, form);
  spin->Bind(wxEVT_SPIN_UP, [&tone](wxSpinEvent&) { tone.OnArrow(+1); });
  spin->Bind(wxEVT_SPIN_DOWN, [&tone](wxSpinEvent&) { tone.OnArrow(-1); });
}

}  // namespace velmora
