#pragma once
// Menu 128, tool bar 128 and accelerator table 128 built from core's tables.

#include <wx/accel.h>
#include <wx/string.h>

#include <string>

class wxMenuBar;
class wxToolBar;

namespace velmora {

// The program's command and bar ids are the framework's numbers (0x800A.., 0xE100.., 0xE800..);
// wx takes ids below 0x7fff only and asserts on larger ones. The window layer hands wx those ids
// shifted down by kWxIdShift, into 0x0fff..0x7ffe, and shifts what wx reports back, so core only
// ever sees its own numbers. The program's ids below 0x7fff stay below 0x0fff and pass unchanged;
// no shifted id meets wx's stock ids (wxID_LOWEST..wxID_HIGHEST).
constexpr int kWxIdShift = 0x7000;
constexpr int kWxIdLimit = 0x7fff;

// The id wx is given for the program's `id`.
constexpr int ToWxId(int id) {
  return id >= kWxIdLimit ? id - kWxIdShift : id;
}
// The program's id for an id wx reports.
constexpr int FromWxId(int wxId) {
  return wxId >= kWxIdLimit - kWxIdShift ? wxId + kWxIdShift : wxId;
}

// The caption as the toolkit takes it (see MnemonicBeforeKeyText); the status-bar prompt is the
// item's help string.
wxMenuBar* BuildMenuBar();
// Adds the buttons and separators in order; tool tips from the command strings.
bool LoadToolBar(wxToolBar& bar);
wxAcceleratorTable BuildAccelerators();
// A menu caption of core's tables as the toolkit takes it.
wxString MenuLabel(const std::string& caption);

}  // namespace velmora
