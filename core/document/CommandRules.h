#pragma once
// Enabled state and check mark of every command, as one function of the document's state.
// The window layer calls it from its update handlers; it reads and never changes the document.

#include "document/VelmoraDoc.h"

namespace velmora {

enum class CheckMark { Unchanged, On, Off };

struct CommandState {
  bool known = false;  // the document has a rule for this id
  bool enabled = false;
  CheckMark check = CheckMark::Unchanged;  // Unchanged also for commands without a mark
};

CommandState QueryCommandState(const CVelmoraDoc& doc, int commandId);

}  // namespace velmora
