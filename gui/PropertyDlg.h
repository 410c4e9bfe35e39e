#pragma once
// CPropertyDlg: the modal property dialog (template 163), one tab for the mix and one for each
// channel, showing what core collected from the document. It changes nothing and has no
// buttons: the close box or Escape closes it.

#include <wx/dialog.h>

#include <array>

#include "dialogs/Properties.h"

class wxNotebook;
class wxTextCtrl;

namespace velmora {

class CPropertyDlg : public wxDialog {
 public:
  CPropertyDlg(wxWindow* parent, const PropertyEntries& entries);

  wxNotebook* tabs() const { return tabs_; }
  // The read-only field of control `id` (one of propctl's but kTabs) on tab `tab`.
  wxTextCtrl* Field(int tab, int id) const;

 private:
  void ShowTab(int tab);

  PropertyEntries entries_;
  wxNotebook* tabs_ = nullptr;
};

}  // namespace velmora
