#pragma once
// What the document tells the user when loading or saving a file fails: the one place where a
// Failure becomes the program's message boxes for the document's files (the window's Open and
// Save, velmora-mix's inputs and output).

#include <string>
#include <vector>

#include "io/Failure.h"

namespace velmora {

class Ui;

// The boxes shown for `failure`, in order: one text for a WAV file or a save, the chain of the
// step's own text, whether opening or reading failed, and the general failure for a compressed
// file the decoder refused (with the decoder's code). Empty for a failure that is not of a file
// the document reads or writes (a device's).
std::vector<std::string> FailureMessages(const Failure& failure);

// Shows those boxes on `ui` with the stop icon, then the system's reason where it gave one.
void ShowFailure(Ui& ui, const Failure& failure);

}  // namespace velmora
