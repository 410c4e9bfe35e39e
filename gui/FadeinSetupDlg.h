#pragma once
// CFadeinSetupDlg: the modal fade setup of one channel or of the whole mix (template 144). Shows
// what core's FadeSetup gives for the direction and target, and on OK hands the checked curve
// and the time's text back to it; a refused time is reported and the dialog stays open.

#include <wx/dialog.h>

class wxRadioButton;
class wxTextCtrl;

namespace velmora {

class FadeSetup;
class Ui;

class CFadeinSetupDlg : public wxDialog {
 public:
  // `setup` and `ui` must outlive the dialog; `setup` takes the curve and time on OK.
  CFadeinSetupDlg(wxWindow* parent, FadeSetup& setup, Ui& ui);

  wxTextCtrl* timeEdit() const { return time_; }

 private:
  void OnOk(wxCommandEvent& event);
  int CheckedRadio() const;

  FadeSetup& setup_;
  Ui& ui_;
  wxTextCtrl* time_ = nullptr;
  wxRadioButton* convex_ = nullptr;
  wxRadioButton* concave_ = nullptr;
  wxRadioButton* linear_ = nullptr;
};

}  // namespace velmora
