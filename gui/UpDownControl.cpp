#include "UpDownControl.h"

#include <wx/dcclient.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include <algorithm>

namespace velmora {

wxDEFINE_EVENT(EVT_UPDOWN_RELEASED, wxSpinEvent);

namespace {

constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 50;

}  // namespace

UpDownControl::UpDownControl(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                             const wxSize& size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE), repeat_(this) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &UpDownControl::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &UpDownControl::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &UpDownControl::OnLeftDown, this);
  Bind(wxEVT_LEFT_UP, &UpDownControl::OnLeftUp, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &UpDownControl::OnCaptureLost, this);
  Bind(wxEVT_TIMER, &UpDownControl::OnRepeat, this);
}

UpDownControl::~UpDownControl() {
  repeat_.Stop();
  if (HasCapture()) ReleaseMouse();
}

void UpDownControl::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  value_ = std::clamp(value_, min_, max_);
}

void UpDownControl::SetValue(int value) {
  value_ = std::clamp(value, min_, max_);
}

wxSize UpDownControl::DoGetBestSize() const {
  return FromDIP(wxSize(16, 24));
}

void UpDownControl::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  const wxSize size = GetClientSize();
  dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
  dc.Clear();
  const int half = size.y / 2;
  const wxRect halves[2] = {wxRect(0, 0, size.x, half), wxRect(0, half, size.x, size.y - half)};
  const wxColour arrow =
      wxSystemSettings::GetColour(IsEnabled() ? wxSYS_COLOUR_BTNTEXT : wxSYS_COLOUR_GRAYTEXT);
  for (int i = 0; i < 2; ++i) {
    const int direction = i == 0 ? +1 : -1;
    int flags = IsEnabled() ? 0 : static_cast<int>(wxCONTROL_DISABLED);
    if (pressed_ == direction) flags |= wxCONTROL_PRESSED;
    wxRendererNative::Get().DrawPushButton(this, dc, halves[i], flags);
    // A small triangle pointing up or down in the middle of the half.
    const wxRect& r = halves[i];
    const int w = std::max(3, std::min(r.width - 6, r.height - 4) | 1);
    const int h = (w + 1) / 2;
    const int cx = r.x + r.width / 2;
    const int top = r.y + (r.height - h) / 2;
    const int base = direction > 0 ? top + h : top;
    const int tip = direction > 0 ? top : top + h;
    const wxPoint points[3] = {wxPoint(cx - w / 2, base), wxPoint(cx + w / 2, base),
                               wxPoint(cx, tip)};
    dc.SetPen(wxPen(arrow));
    dc.SetBrush(wxBrush(arrow));
    dc.DrawPolygon(3, points);
  }
}

void UpDownControl::OnLeftDown(wxMouseEvent& event) {
  if (!IsEnabled()) return;
  pressed_ = event.GetY() < GetClientSize().y / 2 ? +1 : -1;
  if (!HasCapture()) CaptureMouse();
  Refresh();
  SendArrow();
  repeat_.StartOnce(kRepeatDelayMs);
}

void UpDownControl::OnLeftUp(wxMouseEvent&) {
  EndPress();
}

void UpDownControl::OnCaptureLost(wxMouseCaptureLostEvent&) {
  EndPress();
}

void UpDownControl::OnRepeat(wxTimerEvent&) {
  if (pressed_ == 0) return;
  SendArrow();
  repeat_.Start(kRepeatIntervalMs);
}

void UpDownControl::SendArrow() {
  wxSpinEvent event(pressed_ > 0 ? wxEVT_SPIN_UP : wxEVT_SPIN_DOWN, GetId());
  event.SetEventObject(this);
  event.SetPosition(value_);
  ProcessWindowEvent(event);
}

void UpDownControl::EndPress() {
  repeat_.Stop();
  if (HasCapture()) ReleaseMouse();
  if (pressed_ == 0) return;
  pressed_ = 0;
  Refresh();
  wxSpinEvent event(EVT_UPDOWN_RELEASED, GetId());
  event.SetEventObject(this);
  event.SetPosition(value_);
  ProcessWindowEvent(event);
}

}  // namespace velmora
