#pragma once
// The controls of form template 101 (channel strips, position slider and time, make-mix and
// tuning buttons, meters, master volume) built in the view's form window from the template's
// dialog units, and the wiring of their notifications to the core MixerPanel. Also creates the
// hidden correction list. Everything here is on the user-interface thread.

#include <wx/event.h>
#include <wx/gdicmn.h>

#include <array>
#include <functional>
#include <memory>

#include "WxForm.h"
#include "panel/CorrectionList.h"
#include "panel/MixerPanel.h"

class wxMenu;
class wxStaticBox;

namespace velmora {

class CMixStatusDlg;
class CVelmoraView;

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
