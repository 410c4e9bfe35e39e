#pragma once
// The command ids of the main menu, for tests that go through every command.

#include <vector>

#include "app/CommandTable.h"

namespace velmora::test {

inline void CollectMenuCommands(const std::vector<MenuEntry>& entries, std::vector<int>& ids) {
  for (const MenuEntry& entry : entries) {
    if (entry.kind == MenuEntry::Kind::Item) ids.push_back(entry.id);
    CollectMenuCommands(entry.children, ids);
  }
}

// Every item of menu 128, in menu order.
inline std::vector<int> MenuCommands() {
  std::vector<int> ids;
  CollectMenuCommands(MainMenu(), ids);
  return ids;
}

}  // namespace velmora::test
