#pragma once
// Routes a command to the view's targets, then the document's, then the frame's, then the
// application's; the first target that runs it ends the route. A command whose enabled state is
// off is not delivered at all, whatever its source (menu, tool bar, accelerator, a message of
// the window layer), so a key cannot run what the menu shows disabled. A command that no target
// runs is off, so nothing is shown enabled that would do nothing.

#include <array>
#include <vector>

#include "document/CommandRules.h"
#include "seams/CommandTarget.h"

namespace velmora {

enum class RouteLevel { View = 0, Document = 1, Frame = 2, Application = 3 };

enum class RouteResult {
  Done,       // a target ran the command
  Disabled,   // the command is disabled now; nothing ran
  Unhandled,  // enabled, but no target runs it
};

class CommandRouter {
 public:
  // The document whose rules give the enabled states; null while there is none (then only the
  // commands that are always enabled can be).
  void SetDocument(const CVelmoraDoc* doc) { doc_ = doc; }

  // Targets are asked in the order they were added within their level. They must outlive their
  // registration.
  void Add(RouteLevel level, CommandTarget* target);
  void Remove(CommandTarget* target);

  // Enabled state and check mark of `id`: enabled when a target runs it and the document's rule
  // (where it has one) allows it; the check mark is the rule's, whether or not a target runs it.
  CommandState StateOf(int id) const;
  // Disabled (nothing runs) when StateOf says so.
  RouteResult Execute(int id);

 private:
  bool AnyTargetHandles(int id) const;

  const CVelmoraDoc* doc_ = nullptr;
  std::array<std::vector<CommandTarget*>, 4> levels_;
};

}  // namespace velmora
