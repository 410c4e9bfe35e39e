#include "app/CommandRouter.h"

#include <algorithm>

#include "app/CommandTable.h"
#include "seams/CommandIds.h"

namespace velmora {

namespace {

// Enabled whatever the document holds; also while there is no document.
bool IsAlwaysEnabled(int id) {
  return id == cmd::kMetronome || id == cmd::kExit || id == cmd::kHelpFinder || id == cmd::kAbout;
}

}  // namespace

void CommandRouter::Add(RouteLevel level, CommandTarget* target) {
  levels_[static_cast<std::size_t>(level)].push_back(target);
}

void CommandRouter::Remove(CommandTarget* target) {
  for (std::vector<CommandTarget*>& targets : levels_) {
    targets.erase(std::remove(targets.begin(), targets.end(), target), targets.end());
  }
}

bool CommandRouter::AnyTargetHandles(int id) const {
  for (const std::vector<CommandTarget*>& targets : levels_) {
    for (const CommandTarget* target : targets) {
      if (target->HandlesCommand(id)) return true;
    }
  }
  return false;
}

CommandState CommandRouter::StateOf(int id) const {
  CommandState state;
  if (doc_ != nullptr) state = QueryCommandState(*doc_, id);
  if (!state.known) {
    // Without a document only the always-enabled commands can run: the others act on it.
    state.enabled = IsAlwaysEnabled(id) || doc_ != nullptr;
    state.check = CheckMark::Unchanged;
  }
  state.enabled = state.enabled && AnyTargetHandles(id);
  if (id == cmd::kUndo || id == cmd::kRedo) {
    state.caption = UndoCaption(id, state.enabled ? state.stepName : std::string());
  }
  return state;
}

RouteResult CommandRouter::Execute(int id) {
  if (!StateOf(id).enabled) return RouteResult::Disabled;
  // A target may add or remove targets while it runs (a dialog closing, say): walk copies.
  for (const std::vector<CommandTarget*>& level : levels_) {
    const std::vector<CommandTarget*> targets = level;
    for (CommandTarget* target : targets) {
      if (target->OnCommand(id)) return RouteResult::Done;
    }
  }
  return RouteResult::Unhandled;
}

}  // namespace velmora
