#pragma once
// CAppAbout2: the modal about box (template 170): the program's icon, the version line, a
// further line, and two links (the web page and the support address) that take the link
// cursor and hand their clicks to core's AboutBox.

#include <wx/dialog.h>

namespace velmora {

class AboutBox;

class CAppAbout2 : public wxDialog {
 public:
  // `about` must outlive the dialog.
  CAppAbout2(wxWindow* parent, AboutBox& about);

 private:
  void OnLinkClicked(wxCommandEvent& event);

  AboutBox& about_;
};

}  // namespace velmora
