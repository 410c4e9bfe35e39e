#pragma once
// CVelmoraView: the form view of template 101 (353 x 242 dialog units, Japanese UI font). It
// owns the form window, the view's settings and its window timers; its controls are added by
// the mixer panel and the transport.
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
struct DeviceSurvey;
class MasterVolume;
class MixerForm;
class Transport;
class TuningTone;
class Ui;
class ViewDialogCommands;
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
  // Playback: the transport and its output device (on the services' sound system).
  Transport* transport() const { return transport_.get(); }
  WaveDevice* playDevice() const { return playDevice_.get(); }
  // Recording: the record device, the recorder and its settings, the recovery files.
  ViewRecording* recording() const { return recording_.get(); }
  // Button 1042's tone; also plays the recorder's countdown beep (PlayCountdownBeep).
  TuningTone* tuningTone() const { return tuningTone_.get(); }
  // The metronome's dialog (created hidden with the view), or null once its window is gone.
  CMetronomeDlg* metronome() const { return metronomeWindow_ ? metronome_ : nullptr; }
  // The device selection command; owners of a device of their own add themselves to it.
  DeviceCommand* deviceCommand() const { return deviceCommand_.get(); }
  CVelmoraDoc& doc() const;
  ViewSettings& settings() { return settings_; }
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
  // The first survey of the sound system to arrive; a later one is dropped. A stored device it
  // does not find falls back to the default device, with a note in the status bar.
  void AdoptSurvey(const DeviceSurvey& survey);

  // Weak: the frame may destroy its children before the framework destroys the view.
  wxWeakRef<wxScrolledWindow> scroller_;
  wxWeakRef<wxPanel> form_;
  DialogBaseUnits baseUnits_;
  ViewSettings settings_;
  WxTimers timers_;
  std::vector<CommandTarget*> commandTargets_;
  std::vector<TimerTarget*> timerTargets_;
  std::vector<ViewUpdateTarget*> updateTargets_;
  bool initialised_ = false;
  std::unique_ptr<WaveDevice> playDevice_;
  std::unique_ptr<Transport> transport_;
  std::unique_ptr<TuningTone> tuningTone_;
  // The metronome's top-level window belongs to the frame; the weak reference says whether it is
  // still there.
  wxWeakRef<wxWindow> metronomeWindow_;
  CMetronomeDlg* metronome_ = nullptr;
  std::unique_ptr<WxDialogWindows> dialogWindows_;
  std::unique_ptr<ViewDialogCommands> dialogCommands_;  // fade setups and properties
  std::unique_ptr<DeviceCommand> deviceCommand_;        // the device selection
  std::unique_ptr<MixerForm> mixer_;          // goes early, while the targets' lists exist
  std::unique_ptr<ViewRecording> recording_;  // before the mixer and the transport it uses
  // The start-up survey; joined before anything it reports to goes.
  std::thread surveyThread_;
  bool surveyAdopted_ = false;  // the mixer panel holds a survey's devices
};

}  // namespace velmora
