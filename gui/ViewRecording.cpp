#include "ViewRecording.h"

#include <wx/dcbuffer.h>
#include <wx/statusbr.h>

#include "MainFrame.h"
#include "MixerForm.h"
#include "RecordSetupDlg.h"
#include "UiFont.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "app/Studio.h"

namespace velmora {

namespace {

constexpr int kNumberPixels = 150;
constexpr int kMargin = 50;
const wxColour kBackground(255, 255, 224);
const wxColour kNumberColour(0, 0, 128);

}  // namespace

CountdownWnd::CountdownWnd(wxWindow* view)
    : wxFrame(wxGetTopLevelParent(view), wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
              wxBORDER_SIMPLE | wxSTAY_ON_TOP | wxFRAME_NO_TASKBAR | wxFRAME_FLOAT_ON_PARENT,
              "dialog161"),
      view_(view) {
  font_ = UiFont(10);
  font_.SetPixelSize(wxSize(0, kNumberPixels));
  font_.SetWeight(wxFONTWEIGHT_NORMAL);
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CountdownWnd::OnPaint, this);
}

void CountdownWnd::ShowNumber(int seconds) {
  number_ = seconds;
  if (!placed_) {
    placed_ = true;
    wxClientDC dc(this);
    dc.SetFont(font_);
    const wxSize text = dc.GetTextExtent(wxString::Format("%d", seconds));
    SetClientSize(text.x + kMargin, text.y + kMargin);
    const wxRect over = view_->GetScreenRect();
    const wxSize size = GetSize();
    Move(over.x + (over.width - size.x) / 2, over.y + (over.height - size.y) / 2);
  }
  Show();
  Raise();
  Refresh();
  Update();
}

void CountdownWnd::Hide() {
  wxFrame::Hide();
}

void CountdownWnd::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(wxBrush(kBackground));
  dc.Clear();
  dc.SetFont(font_);
  dc.SetTextForeground(kNumberColour);
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  const wxString text = wxString::Format("%d", number_);
  const wxSize extent = dc.GetTextExtent(text);
  const wxSize client = GetClientSize();
  dc.DrawText(text, (client.x - extent.x) / 2, (client.y - extent.y) / 2);
}

ViewRecording::ViewRecording(CVelmoraView& view)
    : view_(view),
      countdown_(new CountdownWnd(view.form())),
      setupWindow_(std::make_unique<WxRecordSetupWindow>()) {}

ViewRecording::~ViewRecording() = default;

RecordSetupWindow& ViewRecording::setupWindow() {
  return *setupWindow_;
}

Recorder& ViewRecording::recorder() {
  return view_.studio().recorder();
}

WaveDevice& ViewRecording::recordDevice() {
  return view_.studio().recordDevice();
}

void ViewRecording::OnInitialUpdate() {
  // Once the window shows: the question comes over it.
  view_.form()->CallAfter([this] { view_.studio().recovery().OfferLeftTakes(); });
}

}  // namespace velmora
