#pragma once
// WxForm: what core's panels and dialogs see of the window's controls (the main form's, the
// metronome dialog's). User-interface thread only.

#include <string>

#include "seams/Form.h"

class wxWindow;

namespace velmora {

// The Form seam over a window's controls, found by id among its descendants. Edits are written
// without a change notification; the panel runs its own reaction (see MixerPanel).
// A control's kind is asked with dynamic_cast, which checks before it converts: wxDynamicCast
// converts first, and a slider pointer to an up-down control is undefined behaviour.
class WxForm : public Form {
 public:
  explicit WxForm(wxWindow* form) : form_(form) {}

  void SetRange(int id, int min, int max) override;
  void SetPosition(int id, int position) override;
  int GetPosition(int id) const override;
  void SetTickFrequency(int id, int frequency) override;
  void SetText(int id, const std::string& text) override;
  std::string GetText(int id) const override;
  void SelectAllAndFocus(int id) override;
  void Enable(int id, bool enabled) override;
  void SetCheck(int id, bool checked) override;

 private:
  wxWindow* Find(int id) const;
  wxWindow* form_;
};

}  // namespace velmora
