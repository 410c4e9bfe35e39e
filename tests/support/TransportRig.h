#pragma once
// The transport with everything it works with: the document, fakes of the form, the timers and
// the user, and the virtual backend behind the playback device. Nothing is set up beyond
// construction; the rig is not copyable.

#include "audio/VirtualAudioBackend.h"
#include "audio/WaveDevice.h"
#include "document/VelmoraDoc.h"
#include "support/FakeForm.h"
#include "support/FakeTimers.h"
#include "support/FakeUi.h"
#include "transport/Transport.h"
#include "view/ViewSettings.h"

namespace velmora::test {

// Members are built in this order and refer to the ones above them.
struct TransportRig {
  FakeUi ui;
  CVelmoraDoc doc{ui};
  FakeForm form;
  FakeTimers timers;
  ViewSettings view;
  VirtualAudioBackend backend;
  WaveDevice device{backend};  // the playback device
  Transport transport{doc, ui, form, timers, view, device};
};

}  // namespace velmora::test
