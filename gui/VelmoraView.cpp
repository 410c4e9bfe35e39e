#include "VelmoraView.h"

#include <wx/dcclient.h>

#include <algorithm>
#include <cmath>

#include "MainFrame.h"
#include "MetronomeDlg.h"
#include "MixerForm.h"
#include "TuningControls.h"
#include "UiFont.h"
#include "VelmoraApp.h"
#include "VelmoraWxDoc.h"
#include "ViewRecording.h"
#include "WxDialogWindows.h"
#include "app/Settings.h"
#include "app/Studio.h"
#include "audio/WaveDevice.h"
#include "dialogs/DeviceList.h"
#include "dialogs/DialogCommands.h"
#include "document/VelmoraDoc.h"
#include "panel/StartupDevices.h"
#include "recorder/RecoveryFiles.h"
#include "seams/Ui.h"
#include "transport/Transport.h"
#include "transport/TuningTone.h"

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
  // Points to the window's own pixels: where the toolkit scales pixels itself (GTK at a display
  // scale of 2), the screen's resolution counts those pixels twice.
  double dpi = window.GetDPI().y;
#ifdef wxHAS_DPI_INDEPENDENT_PIXELS
  dpi /= window.GetContentScaleFactor();
#endif
  DialogBaseUnits base;
  base.x = std::max(1, (width / 26 + 1) / 2);
  base.y = std::max(1, MulDivRound(window.GetFont().GetPointSize(),
                                   dpi > 0 ? static_cast<int>(std::lround(dpi)) : 96, 72));
  return base;
}

template <typename T>
void RemoveFrom(std::vector<T*>& targets, T* target) {
  targets.erase(std::remove(targets.begin(), targets.end(), target), targets.end());
}

}  // namespace

CVelmoraView::CVelmoraView() : timers_([this](int id) { OnTick(id); }) {
  ReadViewSettings(TheApp().settings(), startSettings_);
}

CVelmoraView::~CVelmoraView() {
  if (surveyThread_.joinable()) surveyThread_.join();
  for (CommandTarget* target : commandTargets_) TheApp().router().Remove(target);
  if (studio_) WriteViewSettings(TheApp().settings(), TheApp().ui(), studio_->settings());
  // The windows let go of the parts that go with the studio; the studio then closes what runs
  // (a playback, a tone, a recording, the clicks) while its windows are still there.
  if (mixer_) mixer_->Attach(nullptr, nullptr);
  if (metronomeWindow_) metronome_->Attach(nullptr);
  studio_.reset();
  if (metronomeWindow_) {
    metronome_->Shutdown();
    metronome_->Destroy();
  }
  if (scroller_) scroller_->Destroy();
}

bool CVelmoraView::OnCreate(wxDocument* doc, long flags) {
  if (!wxView::OnCreate(doc, flags)) return false;
  CMainFrame* frame = TheApp().frame();
  if (frame == nullptr) return false;
  SetFrame(frame);
  // The form sits in a scrolled window that fills the frame: where the screen cannot hold the
  // whole form, the frame shows what it can and the rest scrolls into view.
  scroller_ = new wxScrolledWindow(frame, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                   wxHSCROLL | wxVSCROLL | wxBORDER_NONE, "form101scroller");
  form_ = new wxPanel(scroller_, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL,
                      "form101");
  form_->SetFont(UiFont(kFormFontPoints));
  baseUnits_ = MeasureBaseUnits(*form_);
  FitFrameToForm(wxSize(DialogToPixelsX(kFormWidthDu, baseUnits_),
                        DialogToPixelsY(kFormHeightDu, baseUnits_)));
  form_->Bind(wxEVT_CHILD_FOCUS, [this](wxChildFocusEvent& event) {
    event.Skip();
    ScrollIntoView(event.GetWindow());
  });

  // The windows first, then the core parts on their seams.
  mixer_ = std::make_unique<MixerForm>(*this);
  recording_ = std::make_unique<ViewRecording>(*this);
  dialogWindows_ = std::make_unique<WxDialogWindows>();
  metronome_ = new CMetronomeDlg(frame);
  metronomeWindow_ = metronome_;
  const MetronomeSeams metronomeSeams = metronome_->seams();
  studio_ = std::make_unique<Studio>(
      StudioSeams{this->doc(), ui(), mixer_->form(), timers_, TheApp().audio(), &masterVolume(),
                  recording_->countdownWindow(), *dialogWindows_, *dialogWindows_,
                  recording_->setupWindow(), RecoveryDirectory(), &metronomeSeams,
                  [](const std::string& text) {
                    if (CMainFrame* main = TheApp().frame()) {
                      main->SetStatusText(wxString::FromUTF8(text), 0);
                    }
                  }},
      startSettings_);

  mixer_->Attach(&studio_->panel(), &studio_->corrections());
  BindTuningControls(form_, studio_->tone());
  for (CommandTarget* target : studio_->commandTargets()) AddCommandTarget(target);
  for (TimerTarget* target : studio_->timerTargets()) AddTimerTarget(target);
  for (ViewUpdateTarget* target : studio_->updateTargets()) AddUpdateTarget(target);
  AddUpdateTarget(recording_.get());
  metronome_->Attach(studio_->metronome());
  AddCommandTarget(metronome_);
  return true;
}

void CVelmoraView::OnDraw(wxDC*) {}

void CVelmoraView::OnUpdate(wxView*, wxObject*) {
  NotifyUpdate(DocumentNotice::Refresh());
}

void CVelmoraView::OnChangeFilename() {
  // The caption follows the core document's title (DocumentListener), not wx's file name.
}

bool CVelmoraView::OnClose(bool) {
  return true;
}

void CVelmoraView::FitFrameToForm(const wxSize& size) {
  form_->SetMinSize(size);
  form_->SetSize(size);
  scroller_->SetVirtualSize(size);
  scroller_->SetScrollRate(baseUnits_.x, baseUnits_.y);
  if (CMainFrame* frame = TheApp().frame()) frame->FitToForm(size);
}

// The scrolled window's own handling sees the whole form as the focused child; a control that
// takes the focus outside the shown part of the form is brought into view here instead.
void CVelmoraView::ScrollIntoView(wxWindow* control) {
  if (control == nullptr || control == form_ || !scroller_) return;
  const wxRect shown(scroller_->CalcUnscrolledPosition(wxPoint(0, 0)), scroller_->GetClientSize());
  const wxRect wanted(form_->ScreenToClient(control->GetScreenPosition()), control->GetSize());
  if (shown.Contains(wanted)) return;
  int unitX = 1;
  int unitY = 1;
  scroller_->GetScrollPixelsPerUnit(&unitX, &unitY);
  // Only as far as needed: the control's far edge at the view's far edge, or its near edge at
  // the near edge.
  const auto start = [](int from, int view, int at, int size, int unit) {
    if (unit <= 0) return -1;
    if (at < from) return at / unit;
    if (at + size > from + view) return (at + size - view + unit - 1) / unit;
    return from / unit;
  };
  scroller_->Scroll(start(shown.x, shown.width, wanted.x, wanted.width, unitX),
                    start(shown.y, shown.height, wanted.y, wanted.height, unitY));
}

Transport* CVelmoraView::transport() const {
  return studio_ ? &studio_->transport() : nullptr;
}

WaveDevice* CVelmoraView::playDevice() const {
  return studio_ ? &studio_->playDevice() : nullptr;
}

TuningTone* CVelmoraView::tuningTone() const {
  return studio_ ? &studio_->tone() : nullptr;
}

DeviceCommand* CVelmoraView::deviceCommand() const {
  return studio_ ? &studio_->devices() : nullptr;
}

ViewSettings& CVelmoraView::settings() {
  return studio_ ? studio_->settings() : startSettings_;
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

void CVelmoraView::NotifyUpdate(const DocumentNotice& notice) {
  const std::vector<ViewUpdateTarget*> targets = updateTargets_;
  for (ViewUpdateTarget* target : targets) target->OnUpdate(notice);
}

void CVelmoraView::InitialUpdate() {
  if (initialised_) return;
  initialised_ = true;
  const std::vector<ViewUpdateTarget*> targets = updateTargets_;
  for (ViewUpdateTarget* target : targets) target->OnInitialUpdate();

  studio_->playDevice().SetVolume(kFullVolume);
  surveyThread_ = std::thread([this, &backend = TheApp().audio()] {
    const DeviceSurvey survey = SurveyDevices(backend);
    // Queued for this thread; dropped with the view if it goes first (it joins this worker).
    CallAfter([this, survey] {
      if (!studio_->surveyAdopted()) studio_->AdoptSurvey(survey);
    });
  });
}

void CVelmoraView::OnTick(int id) {
  const std::vector<TimerTarget*> targets = timerTargets_;
  for (TimerTarget* target : targets) target->OnTimer(id);
}

}  // namespace velmora
