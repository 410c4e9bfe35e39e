#pragma once
// The layout the setup dialogs share: their fields on the left, an OK / cancel column on the
// right.

#include <wx/dialog.h>
#include <wx/sizer.h>

namespace velmora {

// Puts `fields` (owned by the dialog afterwards) beside a column of the default OK button and
// "キャンセル", with `gap` pixels around both, sets it as the dialog's sizer and fits the dialog
// to it. `fieldFlags` says how the fields take the row (a list that should grow passes
// wxSizerFlags(1).Expand()). Main thread only.
void LayOutBesideOkCancel(wxDialog& dialog, wxSizer* fields, int gap,
                          wxSizerFlags fieldFlags = wxSizerFlags());

}  // namespace velmora
