#include "VelmoraView.h"

#include <wx/dcclient.h>
#include <wx/dcscreen.h>

#include <algorithm>

#include "MainFrame.h"
#include "MixerForm.h"
#include "UiFont.h"
#include "VelmoraApp.h"
#include "VelmoraWxDoc.h"
#include "WxDialogWindows.h"
#include "app/Settings.h"
#include "audio/WaveDevice.h"
#include "dialogs/DialogCommands.h"
#include "document/VelmoraDoc.h"
#include "panel/StartupDevices.h"
#include "transport/Transport.h"

namespace velmora {

namespace {

constexpr int kFormFontPoints = 10;

// The template's metrics: a quarter of the average Latin letter width across, and an eighth of
// the font's em height down. (The CJK face's line height is much taller than its em; taking it
// would stretch every control of the form vertically.)
DialogBaseUnits MeasureBaseUnits(wxWindow& window) {
  wxClientDC dc(&window);
  dc.SetFont(window.GetFont());
  wxCoord width = 0;
  wxCoord height = 0;
  dc.GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height);
  const int dpi = wxScreenDC().GetPPI().y;
  DialogBaseUnits base;
  base.x = std::max(1, (width / 26 + 1) / 2);
  base.y = std::max(1, MulDivRound(window.GetFont().GetPointSize(), dpi > 0 ? dpi : 96, 72));
  return base;
}

template <typename T>
void RemoveFrom(std::vector<T*>& targets, T* target) {
  targets.erase(std::remove(targets.begin(), targets.end(), target), targets.end());
}

}  // namespace

CVelmoraView::CVelmoraView() : timers_([this](int id) { OnTick(id); }) {
  ReadViewSettings(TheApp().settings(), settings_);
}

CVelmoraView::~CVelmoraView() {
  if (surveyThread_.joinable()) surveyThread_.join();
  if (transport_) transport_->OnDestroy();
  for (CommandTarget* target : commandTargets_) TheApp().router().Remove(target);
  WriteViewSettings(TheApp().settings(), TheApp().ui(), settings_);
  if (form_) form_->Destroy();
}

bool CVelmoraView::OnCreate(wxDocument* doc, long flags) {
  if (!wxView::OnCreate(doc, flags)) return false;
  CMainFrame* frame = TheApp().frame();
  if (frame == nullptr) return false;
  SetFrame(frame);
  form_ =
      new wxPanel(frame, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "form101");
  form_->SetFont(UiFont(kFormFontPoints));
  baseUnits_ = MeasureBaseUnits(*form_);
  const wxSize size(DialogToPixelsX(kFormWidthDu, baseUnits_),
                    DialogToPixelsY(kFormHeightDu, baseUnits_));
  form_->SetMinSize(size);
  form_->SetSize(size);
  frame->FitToForm(size);
  mixer_ = std::make_unique<MixerForm>(*this);
  playDevice_ = std::make_unique<WaveDevice>(TheApp().audio());
  transport_ = std::make_unique<Transport>(this->doc(), ui(), mixer_->form(), timers_, settings_,
                                           *playDevice_);
  AddCommandTarget(transport_.get());
  AddTimerTarget(transport_.get());
  dialogWindows_ = std::make_unique<WxDialogWindows>();
  dialogCommands_ =
      std::make_unique<ViewDialogCommands>(this->doc(), mixer_->panel(), *dialogWindows_);
  AddCommandTarget(dialogCommands_.get());
  mixer_->panel().buildMix = [transport = transport_.get()] { return transport->BuildMixNow(); };
  return true;
}

void CVelmoraView::OnDraw(wxDC*) {}

void CVelmoraView::OnUpdate(wxView*, wxObject*) {
  NotifyUpdate(0);
}

void CVelmoraView::OnChangeFilename() {
  // The caption follows the core document's title (DocumentListener), not wx's file name.
}

bool CVelmoraView::OnClose(bool) {
  return true;
}

CVelmoraDoc& CVelmoraView::doc() const {
  return static_cast<CVelmoraWxDoc*>(GetDocument())->core();
}

Ui& CVelmoraView::ui() const {
  return TheApp().ui();
}

MasterVolume& CVelmoraView::masterVolume() const {
  return TheApp().masterVolume();
}

wxRect CVelmoraView::FormRect(int x, int y, int width, int height) const {
  return wxRect(DialogToPixelsX(x, baseUnits_), DialogToPixelsY(y, baseUnits_),
                DialogToPixelsX(width, baseUnits_), DialogToPixelsY(height, baseUnits_));
}

void CVelmoraView::AddCommandTarget(CommandTarget* target) {
  commandTargets_.push_back(target);
  TheApp().router().Add(RouteLevel::View, target);
}

void CVelmoraView::RemoveCommandTarget(CommandTarget* target) {
  RemoveFrom(commandTargets_, target);
  TheApp().router().Remove(target);
}

void CVelmoraView::AddTimerTarget(TimerTarget* target) {
  timerTargets_.push_back(target);
}

void CVelmoraView::RemoveTimerTarget(TimerTarget* target) {
  RemoveFrom(timerTargets_, target);
}

void CVelmoraView::AddUpdateTarget(ViewUpdateTarget* target) {
  updateTargets_.push_back(target);
}

void CVelmoraView::RemoveUpdateTarget(ViewUpdateTarget* target) {
  RemoveFrom(updateTargets_, target);
}

void CVelmoraView::NotifyUpdate(int hint) {
  const std::vector<ViewUpdateTarget*> targets = updateTargets_;
  for (ViewUpdateTarget* target : targets) target->OnUpdate(hint);
}

void CVelmoraView::InitialUpdate() {
  if (initialised_) return;
  initialised_ = true;
  const std::vector<ViewUpdateTarget*> targets = updateTargets_;
  for (ViewUpdateTarget* target : targets) target->OnInitialUpdate();

  playDevice_->SetVolume(kFullVolume);
  surveyThread_ = std::thread([this, &backend = TheApp().audio()] {
    const DeviceSurvey survey = SurveyDevices(backend);
    // Queued for this thread; dropped with the view if it goes first (it joins this worker).
    CallAfter([this, survey] { mixer_->panel().AdoptDeviceSurvey(survey); });
  });
}

void CVelmoraView::OnTick(int id) {
  const std::vector<TimerTarget*> targets = timerTargets_;
  for (TimerTarget* target : targets) target->OnTimer(id);
}

}  // namespace velmora
