#pragma once
// The recorder with everything it works with: the transport's rig, a recording device beside the
// playback one, the mixer panel, the tuning tone and a countdown window that remembers what it
// showed. Nothing is set up beyond construction: each test sets the view and the recorder's hooks
// it needs.

#include <vector>

#include "panel/CorrectionList.h"
#include "panel/MixerPanel.h"
#include "recorder/Recorder.h"
#include "support/TransportRig.h"
#include "transport/TuningTone.h"

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

// Members are built in this order and refer to the ones above them; the rig is not copyable.
struct RecorderRig : TransportRig {
  WaveDevice& playDevice = device;
  WaveDevice recordDevice{backend};
  CorrectionList corrections{form};
  MixerPanel panel{doc, form, ui, view, corrections, nullptr};
  FakeCountdown countdown;
  TuningTone tone{doc, ui, form, timers, view, playDevice, transport};
  Recorder recorder{doc,  ui,    form,       timers,       view,     transport,
                    tone, panel, playDevice, recordDevice, countdown};
};

}  // namespace velmora::test
