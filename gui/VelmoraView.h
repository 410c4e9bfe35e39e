#pragma once
// CVelmoraView: the form view of template 101 (353 x 242 dialog units, Japanese UI font). It
// creates the form window and its controls, the tool windows and the view's window timers, and
// hands them as seams to the studio (core/app/Studio.h), which holds the view's core parts; it
// registers the parts' commands, timers and update targets.
//
// Plugging in (a few lines, no event tables to edit), e.g. in the panel's or transport's setup,
// with `view` the CVelmoraView (TheApp().view()):
//   - build controls as children of view.form(), placed with view.FormRect(x, y, w, h) in
//     dialog units, and reach the document through view.doc();
//   - commands: derive from CommandTarget (core/seams/CommandTarget.h) and call
//     view.AddCommandTarget(this). Every menu, tool-bar, accelerator and popup command reaches
//     the view's targets first (in the order added), then the document, the frame and the
//     application; a command whose rule disables it, or that no target's HandlesCommand claims,
//     is disabled and reaches nobody. Check marks come from QueryCommandState alone.
//   - timers: view.timers().Start(id, ms) / Kill(id); ticks reach every TimerTarget added with
//     view.AddTimerTarget(this), as OnTimer(id).
//   - refresh: ViewUpdateTarget::OnUpdate(hint) after every UpdateAllViews and after New;
//     OnInitialUpdate() once, when the frame is first shown. Add with view.AddUpdateTarget(this).
// Remove a target (RemoveCommandTarget and so on) before it is destroyed, if it dies before the
// view. Everything here is on the user-interface thread.

#include <wx/docview.h>
#include <wx/panel.h>
#include <wx/scrolwin.h>
#include <wx/weakref.h>

#include <memory>
#include <thread>
#include <vector>

#include "WxTimers.h"
#include "app/DialogUnits.h"
#include "seams/CommandTarget.h"
#include "view/ViewSettings.h"

namespace velmora {

class CMetronomeDlg;
class CVelmoraDoc;
class DeviceCommand;
class MasterVolume;
class MixerForm;
class Studio;
class Transport;
class TuningTone;
class Ui;
class ViewRecording;
class WaveDevice;
class WxDialogWindows;

class CVelmoraView : public wxView {
 public:
  // Form template 101's size in dialog units; the form grows where a control needs more room.
  static constexpr int kFormWidthDu = 353;
  static constexpr int kFormHeightDu = 242;

  CVelmoraView();
  // Writes "Device" and "TuningHz" and destroys the form.
  ~CVelmoraView() override;

  bool OnCreate(wxDocument* doc, long flags) override;
  void OnDraw(wxDC* dc) override;
  void OnUpdate(wxView* sender, wxObject* hint) override;
  void OnChangeFilename() override;
  // The frame asks the document before closing; the view itself never asks again.
  bool OnClose(bool deleteWindow) override;

  wxPanel* form() const { return form_; }
  // The frame's client window that holds the form and scrolls it where the screen is too small.
  wxScrolledWindow* scroller() const { return scroller_; }
  // Gives the form its size and fits the frame to it within the screen's work area.
  void FitFrameToForm(const wxSize& size);
  // The mixer panel's controls and logic on the form.
  MixerForm* mixer() const { return mixer_.get(); }
  // The view's core parts.
  Studio& studio() { return *studio_; }
  // Playback: the transport and its output device (on the services' sound system).
  Transport* transport() const;
  WaveDevice* playDevice() const;
  // Recording's windows, and through them the recorder and its device.
  ViewRecording* recording() const { return recording_.get(); }
  // The tone of button ctl::kTuningButton; also plays the recorder's countdown beep
  // (PlayCountdownBeep).
  TuningTone* tuningTone() const;
  // The metronome's dialog (created hidden with the view), or null once its window is gone.
  CMetronomeDlg* metronome() const { return metronomeWindow_ ? metronome_ : nullptr; }
  // The device selection command.
  DeviceCommand* deviceCommand() const;
  CVelmoraDoc& doc() const;
  ViewSettings& settings();
  Timers& timers() { return timers_; }
  Ui& ui() const;
  MasterVolume& masterVolume() const;

  // Dialog units of the form template to pixels of the form.
  DialogBaseUnits baseUnits() const { return baseUnits_; }
  wxRect FormRect(int x, int y, int width, int height) const;

  void AddCommandTarget(CommandTarget* target);
  void RemoveCommandTarget(CommandTarget* target);
  void AddTimerTarget(TimerTarget* target);
  void RemoveTimerTarget(TimerTarget* target);
  void AddUpdateTarget(ViewUpdateTarget* target);
  void RemoveUpdateTarget(ViewUpdateTarget* target);

  // The update notification with the document's hint.
  void NotifyUpdate(const DocumentNotice& notice);
  // Once, after the frame is first shown: the targets' first update, the output at full volume,
  // and the survey of the sound system on a worker thread, whose results the mixer panel adopts
  // on this thread when they come (enumerating every device takes most of a second).
  void InitialUpdate();

 private:
  void OnTick(int id);
  void ScrollIntoView(wxWindow* control);

  // Weak: the frame may destroy its children before the framework destroys the view.
  wxWeakRef<wxScrolledWindow> scroller_;
  wxWeakRef<wxPanel> form_;
  DialogBaseUnits baseUnits_;
  ViewSettings startSettings_;  // as read from the settings store, until the studio holds them
  WxTimers timers_;
  std::vector<CommandTarget*> commandTargets_;
  std::vector<TimerTarget*> timerTargets_;
  std::vector<ViewUpdateTarget*> updateTargets_;
  bool initialised_ = false;
  // The metronome's top-level window belongs to the frame; the weak reference says whether it is
  // still there.
  wxWeakRef<wxWindow> metronomeWindow_;
  CMetronomeDlg* metronome_ = nullptr;
  std::unique_ptr<WxDialogWindows> dialogWindows_;
  std::unique_ptr<MixerForm> mixer_;          // goes after the studio whose events it maps
  std::unique_ptr<ViewRecording> recording_;  // the recording's windows
  std::unique_ptr<Studio> studio_;            // goes first
  // The start-up survey; joined before anything it reports to goes.
  std::thread surveyThread_;
};

}  // namespace velmora
