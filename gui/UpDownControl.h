#pragma once
// UpDownControl: the arrows beside the main form's offsets and tuning button and the metronome's
// fields. User-interface thread only.

#include <wx/control.h>
#include <wx/spinbutt.h>
#include <wx/timer.h>

namespace velmora {

wxDECLARE_EVENT(EVT_UPDOWN_RELEASED, wxSpinEvent);

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

}  // namespace velmora
