#pragma once
// The view's parts as the program puts them together (Studio), on fakes: the document, the form,
// the timers and the user, the virtual backend behind both wave devices, a countdown window that
// remembers what it showed, and dialog windows that are cancelled. Nothing is set up beyond
// construction: each test sets the view's fields and the parts' hooks it needs.

#include <string>
#include <vector>

#include "app/Studio.h"
#include "audio/VirtualAudioBackend.h"
#include "document/VelmoraDoc.h"
#include "support/FakeForm.h"
#include "support/FakeTimers.h"
#include "support/FakeUi.h"

namespace velmora::test {

class FakeCountdown : public CountdownWindow {
 public:
  void ShowNumber(int seconds) override {
    shown = true;
    numbers.push_back(seconds);
  }
  void Hide() override { shown = false; }
  bool shown = false;
  std::vector<int> numbers;
};

// Every dialog is cancelled.
class CancelledDialogs : public DialogWindows, public DeviceListWindow, public RecordSetupWindow {
 public:
  bool RunFadeSetup(FadeSetup&) override { return false; }
  void RunProperties(const PropertyEntries&) override {}
  void RunAbout(AboutBox&) override {}
  bool RunDeviceList(DeviceList&) override { return false; }
  bool Run(RecordSetup&) override { return false; }
};

// The studio's seams on these fakes, with no master volume, no recovery files, no metronome and
// no status bar.
inline StudioSeams SeamsOnFakes(CVelmoraDoc& doc, FakeUi& ui, FakeForm& form, FakeTimers& timers,
                                AudioBackend& backend, FakeCountdown& countdown,
                                CancelledDialogs& dialogs) {
  return StudioSeams{doc,     ui,      form,    timers,        backend, nullptr, countdown,
                     dialogs, dialogs, dialogs, std::string(), nullptr, {}};
}

// Members are built in this order and refer to the ones above them; the rig is not copyable.
struct StudioRig {
  FakeUi ui;
  CVelmoraDoc doc{ui};
  FakeForm form;
  FakeTimers timers;
  VirtualAudioBackend backend;
  FakeCountdown countdown;
  CancelledDialogs dialogs;
  Studio studio{SeamsOnFakes(doc, ui, form, timers, backend, countdown, dialogs), ViewSettings{}};

  // The parts, by the names the tests use.
  ViewSettings& view = studio.settings();
  WaveDevice& device = studio.playDevice();
  WaveDevice& playDevice = device;
  WaveDevice& recordDevice = studio.recordDevice();
  CorrectionList& corrections = studio.corrections();
  MixerPanel& panel = studio.panel();
  Transport& transport = studio.transport();
  TuningTone& tone = studio.tone();
  Recorder& recorder = studio.recorder();
};

}  // namespace velmora::test
