#pragma once
// What velmora-mix does once its command line is understood: load the inputs with the program's
// own reader and rules, set the channels, and make the document's mix piece by piece straight
// into the output file, by the same replace-when-complete rule as the program's Save.

#include "ConsoleUi.h"
#include "MixOptions.h"

namespace velmora {
class AudioDecoder;
}

namespace velmora::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // an input refused, memory, or a file not written
constexpr int kExitUsage = 2;

// `decoder` may be null: WMA inputs are then refused by the loader's own message.
int RenderMix(const MixOptions& options, ConsoleUi& ui, AudioDecoder* decoder);

}  // namespace velmora::cli
