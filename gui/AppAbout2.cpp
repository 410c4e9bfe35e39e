#include "AppAbout2.h"

#include <wx/bmpbndl.h>
#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "LinkLabel.h"
#include "UiFont.h"
#include "Utf8Text.h"
#include "VelmoraIconSvg.h"
#include "dialogs/AboutBox.h"

namespace velmora {

namespace {

constexpr int kFontPoints = 9;
constexpr unsigned char kLinkBlue = 192;  // links are RGB(0, 0, 192)

}  // namespace

CAppAbout2::CAppAbout2(wxWindow* parent, AboutBox& about)
    : wxDialog(parent, wxID_ANY, U(about::kCaption), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX, "dialog170"),
      about_(about) {
  SetFont(UiFont(kFontPoints));
  const int gap = FromDIP(10);

  auto* icon = new wxStaticBitmap(
      this, wxID_ANY, wxBitmapBundle::FromSVG(kVelmoraIconSvg, FromDIP(wxSize(32, 32))));
  auto* version = new wxStaticText(this, wxID_ANY, wxEmptyString);
  version->SetLabelText(U(about::kVersionLine));  // shown as written, '&' included
  auto* further = new wxStaticText(this, wxID_ANY, U(about::kFurtherLine));

  auto* lines = new wxBoxSizer(wxVERTICAL);
  lines->Add(version, wxSizerFlags().Border(wxBOTTOM, gap / 2));
  lines->Add(further, wxSizerFlags().Border(wxBOTTOM, gap));
  for (int id : {aboutctl::kWebPage, aboutctl::kSupportMail}) {
    auto* link =
        new LinkLabel(this, id, U(AboutBox::LinkText(id)), GetFont(), wxColour(0, 0, kLinkBlue));
    lines->Add(link, wxSizerFlags().Border(wxBOTTOM, gap / 2));
    Bind(wxEVT_BUTTON, &CAppAbout2::OnLinkClicked, this, id);
  }
  // The link cursor over the links only; everywhere else the arrow.
  for (wxWindow* child : GetChildren()) {
    if (AboutBox::IsLink(child->GetId())) child->SetCursor(wxCursor(wxCURSOR_HAND));
  }

  auto* ok = new wxButton(this, wxID_OK, "OK");
  ok->SetDefault();

  auto* top = new wxBoxSizer(wxHORIZONTAL);
  top->Add(icon, wxSizerFlags().Top().Border(wxALL, gap));
  top->Add(lines, wxSizerFlags(1).Border(wxTOP | wxBOTTOM, gap));
  top->Add(ok, wxSizerFlags().Top().Border(wxALL, gap));
  SetSizerAndFit(top);
  CentreOnParent();
  ok->SetFocus();
}

void CAppAbout2::OnLinkClicked(wxCommandEvent& event) {
  about_.OnClick(event.GetId());
  Refresh(false);
}

}  // namespace velmora
