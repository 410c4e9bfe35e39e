#pragma once
// The program's view put together in core: the play and record devices, the mixer panel with its
// correction list, the transport and the tuning tone, the recorder with its settings command and
// the recovery files of its takes, the metronome, and the dialogs' commands; built from the seams
// the window layer (or a test) hands over, wired to one another, and closed down in the right
// order.
//
// The window layer creates the windows, hands their seams over, registers the parts' commands,
// timers and update targets with its router and timers, and maps the controls' events to the
// parts. User-interface thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/WaveDevice.h"
#include "dialogs/DeviceList.h"
#include "dialogs/DialogCommands.h"
#include "metronome/Metronome.h"
#include "panel/CorrectionList.h"
#include "panel/MixerPanel.h"
#include "panel/StartupDevices.h"
#include "recorder/RecordSetup.h"
#include "recorder/Recorder.h"
#include "recorder/RecoveryFiles.h"
#include "seams/AudioBackend.h"
#include "seams/CommandTarget.h"
#include "transport/Transport.h"
#include "transport/TuningTone.h"
#include "view/ViewContext.h"
#include "view/ViewSettings.h"

namespace velmora {

class BeatDisplay;
class CVelmoraDoc;
class Form;
class MasterVolume;
class Timers;
class Ui;

// The metronome's window: its own controls, timers and beat display, and the sizes the display
// starts from.
struct MetronomeSeams {
  Form& form;
  Timers& timers;
  BeatDisplay& display;
  int displayBase;     // the display's side at size 15, in pixels
  int workAreaHeight;  // the screen's work area, which the largest display must fit
};

// The outside world of the view's parts. All must outlive the studio.
struct StudioSeams {
  CVelmoraDoc& doc;
  Ui& ui;
  Form& form;      // the main form's controls
  Timers& timers;  // the view's window timers
  AudioBackend& audio;
  MasterVolume* volume;  // null: no mixer control to move
  CountdownWindow& countdown;
  DialogWindows& dialogs;
  DeviceListWindow& deviceList;
  RecordSetupWindow& recordSetup;
  std::string recoveryDirectory;    // empty: takes get no recovery files
  const MetronomeSeams* metronome;  // null: no metronome
  // The status bar's first field; unset shows nothing.
  std::function<void(const std::string&)> showStatus;
};

class Studio {
 public:
  // The view's fields start as `settings` (as read from the settings store).
  Studio(const StudioSeams& seams, const ViewSettings& settings);
  // A running playback, tone, recording or metronome is closed first (a recording stores
  // nothing), while the windows are still there.
  ~Studio();
  Studio(const Studio&) = delete;
  Studio& operator=(const Studio&) = delete;

  // What the window layer registers, each in this order.
  const std::vector<CommandTarget*>& commandTargets() const { return commandTargets_; }
  const std::vector<TimerTarget*>& timerTargets() const { return timerTargets_; }
  const std::vector<ViewUpdateTarget*>& updateTargets() const { return updateTargets_; }

  // The first survey of the sound system to arrive; a later one is dropped. A stored device it
  // does not find falls back to the default device, and the status bar says so; the devices'
  // other owners (the metronome) follow.
  void AdoptSurvey(const DeviceSurvey& survey);
  bool surveyAdopted() const { return surveyAdopted_; }

  ViewSettings& settings() { return settings_; }
  const ViewContext& context() const { return context_; }
  WaveDevice& playDevice() { return playDevice_; }
  WaveDevice& recordDevice() { return recordDevice_; }
  CorrectionList& corrections() { return corrections_; }
  MixerPanel& panel() { return panel_; }
  Transport& transport() { return transport_; }
  TuningTone& tone() { return tone_; }
  Recorder& recorder() { return recorder_; }
  RecordSetupCommand& recordSetup() { return recordSetup_; }
  RecoveryTakes& recovery() { return recovery_; }
  ViewDialogCommands& dialogCommands() { return dialogCommands_; }
  DeviceCommand& devices() { return devices_; }
  // Null when the seams had no metronome window.
  Metronome* metronome() { return metronome_.get(); }

 private:
  void MakeMetronome(const MetronomeSeams& seams);

  AudioBackend& audio_;
  std::function<void(const std::string&)> showStatus_;
  ViewSettings settings_;
  ViewContext context_;
  WaveDevice playDevice_;
  WaveDevice recordDevice_;
  CorrectionList corrections_;
  MixerPanel panel_;
  Transport transport_;
  TuningTone tone_;
  Recorder recorder_;
  RecordSetupCommand recordSetup_;
  RecoveryTakes recovery_;
  ViewDialogCommands dialogCommands_;
  DeviceCommand devices_;
  std::unique_ptr<Metronome> metronome_;
  bool surveyAdopted_ = false;

  std::vector<CommandTarget*> commandTargets_;
  std::vector<TimerTarget*> timerTargets_;
  std::vector<ViewUpdateTarget*> updateTargets_;
};

}  // namespace velmora
