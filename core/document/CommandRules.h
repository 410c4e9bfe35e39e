#pragma once
// Enabled state and check mark of every command, as one function of the document's state.
// The window layer calls it from its update handlers; it reads and never changes the document.

#include <string>

#include "document/VelmoraDoc.h"

namespace velmora {

enum class CheckMark { Unchanged, On, Off };

struct CommandState {
  bool known = false;  // the document has a rule for this id
  bool enabled = false;
  CheckMark check = CheckMark::Unchanged;  // Unchanged also for commands without a mark
  // Undo and Redo: the name of the step they would take back or do again.
  std::string stepName;
  // A caption that follows the document (the router's, from stepName); empty = the menu's own.
  std::string caption;
};

CommandState QueryCommandState(const CVelmoraDoc& doc, int commandId);

}  // namespace velmora
