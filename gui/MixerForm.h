#pragma once
// The controls of form template 101 (channel strips, position slider and time, make-mix and
// tuning buttons, meters, master volume) built in the view's form window from the template's
// dialog units, and the wiring of their notifications to the core MixerPanel. Also creates the
// hidden correction list. Everything here is on the user-interface thread.

#include <wx/control.h>
#include <wx/spinbutt.h>
#include <wx/timer.h>

#include <array>
#include <functional>
#include <memory>

#include "panel/CorrectionList.h"
#include "panel/MixerPanel.h"
#include "seams/Form.h"

class wxMenu;
class wxStaticBox;

namespace velmora {

wxDECLARE_EVENT(EVT_UPDOWN_RELEASED, wxSpinEvent);

class CMixStatusDlg;
class CVelmoraView;

// A small up-down control like the platform's native one: two arrows stacked in the given
// size (GTK's spin button would need several times the template's room). It keeps a range and a
// position for the form but never moves itself: each press, and each repeat while an arrow is
// held, sends wxEVT_SPIN_UP or wxEVT_SPIN_DOWN with the current position; letting go sends
// EVT_UPDOWN_RELEASED. The handler decides the new position.
class UpDownControl : public wxControl {
 public:
  UpDownControl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);
  ~UpDownControl() override;

  void SetRange(int min, int max);
  void SetValue(int value);
  int GetValue() const { return value_; }
  bool AcceptsFocus() const override { return false; }

 protected:
  wxSize DoGetBestSize() const override;

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void OnRepeat(wxTimerEvent& event);
  void SendArrow();
  void EndPress();

  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
  int pressed_ = 0;  // +1 upper arrow held, -1 lower arrow held, 0 none
  wxTimer repeat_;
};

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

// Builds the form's controls in `view.form()` and grows the form where a control needs more room
// than the template gives it; once the studio exists, Attach maps the controls' events to its
// mixer panel and shows its correction list in a window.
class MixerForm {
 public:
  explicit MixerForm(CVelmoraView& view);
  ~MixerForm();
  MixerForm(const MixerForm&) = delete;
  MixerForm& operator=(const MixerForm&) = delete;

  // The controls' events go to `panel`; the correction list shows in the form's dialog. Both
  // must outlive the form's window or be detached (Attach(nullptr, nullptr)) first.
  void Attach(MixerPanel* panel, CorrectionList* corrections);

  Form& form() { return form_; }
  MixerPanel& panel() { return *panel_; }
  CorrectionList& corrections() { return *corrections_; }
  CMixStatusDlg* correctionDialog() const { return dialog_; }
  // The form's size after layout.
  wxSize size() const { return size_; }
  // Puts the keyboard focus where the panel wants it when the window first shows.
  void FocusFirstControl();

  // Shows the channel menu at a point of the form and returns whether it was shown: the form's
  // popup unless replaced (window tests record the menu instead of running it).
  std::function<bool(wxMenu& menu, const wxPoint& at)> showMenu;

 private:
  class Builder;
  void BindEvents();
  void OnRightDown(wxMouseEvent& event);
  std::array<PanelRect, 4> ChannelFrameRects() const;

  CVelmoraView& view_;
  wxWindow* window_;
  WxForm form_;
  CorrectionList* corrections_ = nullptr;
  MixerPanel* panel_ = nullptr;
  CMixStatusDlg* dialog_ = nullptr;
  std::array<wxStaticBox*, 4> channelFrames_{};
  wxSize size_;
};

}  // namespace velmora
