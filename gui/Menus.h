#pragma once
// Menu 128, tool bar 128 and accelerator table 128 built from core's tables.

#include <wx/accel.h>

class wxMenuBar;
class wxToolBar;

namespace velmora {

// The caption as the toolkit takes it (see MnemonicBeforeKeyText); the status-bar prompt is the
// item's help string.
wxMenuBar* BuildMenuBar();
// Adds the buttons and separators in order; tool tips from the command strings.
bool LoadToolBar(wxToolBar& bar);
wxAcceleratorTable BuildAccelerators();

}  // namespace velmora
