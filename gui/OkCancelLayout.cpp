#include "OkCancelLayout.h"

#include <wx/button.h>

#include "Utf8Text.h"

namespace velmora {

namespace {

wxSizer* OkCancelColumn(wxDialog& dialog, int gap) {
  auto* buttons = new wxBoxSizer(wxVERTICAL);
  auto* ok = new wxButton(&dialog, wxID_OK, "OK");
  ok->SetDefault();
  buttons->Add(ok, wxSizerFlags().Expand().Border(wxBOTTOM, gap / 2));
  buttons->Add(new wxButton(&dialog, wxID_CANCEL, U("キャンセル")), wxSizerFlags().Expand());
  return buttons;
}

}  // namespace

void LayOutBesideOkCancel(wxDialog& dialog, wxSizer* fields, int gap, wxSizerFlags fieldFlags) {
  auto* top = new wxBoxSizer(wxHORIZONTAL);
  top->Add(fields, fieldFlags.Border(wxALL, gap));
  top->Add(OkCancelColumn(dialog, gap), wxSizerFlags().Border(wxTOP | wxRIGHT | wxBOTTOM, gap));
  dialog.SetSizerAndFit(top);
}

}  // namespace velmora
