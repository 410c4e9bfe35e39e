#include "ViewRecording.h"

#include <wx/dcbuffer.h>
#include <wx/statusbr.h>

#include "MainFrame.h"
#include "MixerForm.h"
#include "RecordSetupDlg.h"
#include "UiFont.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "audio/WaveDevice.h"
#include "document/VelmoraDoc.h"
#include "recorder/RecordSetup.h"
#include "recorder/RecoveryFiles.h"
#include "recorder/RecoveryWriter.h"
#include "transport/Transport.h"

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

ViewRecording::ViewRecording(CVelmoraView& view) : view_(view) {
  CVelmoraDoc& doc = view.doc();
  recordDevice_ = std::make_unique<WaveDevice>(TheApp().audio());
  countdown_ = new CountdownWnd(view.form());
  recovery_ =
      std::make_unique<RecoveryTakes>(doc, view.ui(), view.mixer()->panel(), RecoveryDirectory());
  recorder_ = std::make_unique<Recorder>(
      doc, view.ui(), view.mixer()->form(), view.timers(), view.settings(), *view.transport(),
      *view.tuningTone(), view.mixer()->panel(), *view.playDevice(), *recordDevice_, *countdown_);
  recorder_->showStatus = [](const std::string& text) {
    if (CMainFrame* frame = TheApp().frame()) frame->SetStatusText(wxString::FromUTF8(text), 0);
  };
  recorder_->openRecovery = [this](uint32_t rate, uint16_t bits, uint16_t channels) {
    return recovery_->OpenWriter(rate, bits, channels);
  };
  recorder_->takeStored = [this](int slot, std::unique_ptr<RecoveryWriter> writer) {
    recovery_->Adopt(slot, std::move(writer));
  };
  setupWindow_ = std::make_unique<WxRecordSetupWindow>();
  setupCommand_ = std::make_unique<RecordSetupCommand>(doc, view.ui(), view.settings(),
                                                       recorder_->options, *setupWindow_);
  view.AddCommandTarget(recorder_.get());
  view.AddCommandTarget(setupCommand_.get());
  view.AddTimerTarget(recorder_.get());
  view.AddUpdateTarget(this);
}

ViewRecording::~ViewRecording() {
  view_.RemoveCommandTarget(recorder_.get());
  view_.RemoveCommandTarget(setupCommand_.get());
  view_.RemoveTimerTarget(recorder_.get());
  view_.RemoveUpdateTarget(this);
}

void ViewRecording::OnDestroy() {
  recorder_->OnDestroy();
}

void ViewRecording::OnInitialUpdate() {
  // Once the window shows: the question comes over it.
  view_.form()->CallAfter([this] { recovery_->OfferLeftTakes(); });
}

void ViewRecording::OnUpdate(const DocumentNotice& notice) {
  recovery_->OnUpdate(notice);
}

}  // namespace velmora
