#pragma once
// What the view's parts tell the user when a wave device fails while its stream runs: the one
// place where a device's Failure becomes the program's message. The device only reports; its
// owner (the transport, the recorder, the tuning tone) shows these.

#include <string>

#include "io/Failure.h"

namespace velmora {

class Ui;

// Device messages, used exactly as they stand; the placeholder is the backend's error code.
namespace msg {
inline constexpr const char* kWaveOutPrepareError = "waveOutP Error - %d";
inline constexpr const char* kWaveOutWriteError = "waveOutW Error - %d";
inline constexpr const char* kWaveInError = "waveIn Error - %d";
}  // namespace msg

// The message for a failed refill or requeue, or a stream that died: "waveOutP Error - %d" for a
// ring slot still busy, "waveOutW Error - %d" for a failed output stream, "waveIn Error - %d" for
// a block that could not be handed back or a failed input stream. Empty for success, for a stream
// that was not open (nothing to say) and for a failed open (each owner says that in its own words).
std::string DeviceErrorMessage(const Result& result);

// Shows that message with the stop icon, when there is one.
void ShowDeviceError(Ui& ui, const Result& result);

}  // namespace velmora
