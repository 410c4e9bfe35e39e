#pragma once
// CRecordSetupDlg: the modal recording settings (template 159, "録音設定"). Shows the values of
// core's RecordSetup, hands every spin step, edit change and track bar move to it, and on OK its
// check of the seconds; a refused value is reported and the dialog stays open.

#include <wx/dialog.h>

#include "recorder/RecordSetup.h"

class wxCheckBox;
class wxChoice;
class wxRadioButton;
class wxSlider;
class wxSpinButton;
class wxSpinEvent;
class wxTextCtrl;

namespace velmora {

class Ui;

class CRecordSetupDlg : public wxDialog {
 public:
  // `values` and `ui` must outlive the dialog; `values` takes the choices on OK.
  CRecordSetupDlg(wxWindow* parent, RecordSetup& values, Ui& ui);

 private:
  void OnSpin(wxSpinEvent& event, int direction);
  void OnSecondsChanged();
  void OnOk(wxCommandEvent& event);
  void ShowSeconds();

  RecordSetup& values_;
  Ui& ui_;
  wxChoice* rate_ = nullptr;
  wxRadioButton* bits16_ = nullptr;
  wxRadioButton* bits8_ = nullptr;
  wxRadioButton* stereo_ = nullptr;
  wxRadioButton* mono_ = nullptr;
  wxCheckBox* simultaneous_ = nullptr;
  wxTextCtrl* seconds_ = nullptr;
  wxSpinButton* spin_ = nullptr;
  wxCheckBox* beeps_ = nullptr;
  wxSlider* level_ = nullptr;
};

// Runs the dialog modally over the main window.
class WxRecordSetupWindow : public RecordSetupWindow {
 public:
  bool Run(RecordSetup& dialog) override;
};

}  // namespace velmora
