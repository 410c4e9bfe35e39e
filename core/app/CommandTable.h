#pragma once
// The main window's resources as data: menu 128, the command strings (status-bar prompt and
// tool tip), tool bar 128 and accelerator table 128. The window layer builds its widgets from
// these tables, so their content is checked without a display.

#include <string>
#include <vector>

namespace velmora {

struct MenuEntry {
  enum class Kind { Item, Separator, Submenu };
  Kind kind = Kind::Item;
  std::string caption;  // as the program shows it, with "\t" before the key text and (&X)
  int id = 0;           // items only
  std::vector<MenuEntry> children;  // submenus only
};

// The menu bar: every top-level entry is a submenu.
const std::vector<MenuEntry>& MainMenu();

struct CommandText {
  std::string prompt;   // status-bar prompt
  std::string toolTip;  // empty when the command has none
};

// The strings of command `id`; both empty for an unknown id.
CommandText CommandTextOf(int id);

// Whether the command's menu item and tool carry a check mark.
bool HasCheckMark(int id);

// Tool-bar buttons from left to right; kToolSeparator marks a separator.
constexpr int kToolSeparator = 0;
const std::vector<int>& ToolBarLayout();

struct Accelerator {
  bool ctrl = false;
  int key = 0;  // an upper-case ASCII letter, or ' ' for the space bar
  int id = 0;
};
const std::vector<Accelerator>& Accelerators();

// The Undo or Redo item's caption naming the step it would take back or do again
// ("元に戻す: 切り詰め (Ch2)\tCtrl+Z(&U)"); the plain caption when there is none.
std::string UndoCaption(int id, const std::string& stepName);

// Menu captions keep their key text and mnemonic after the tab ("開く...\tCtrl+O(&O)"). Toolkits
// that draw the key text themselves from a parsable "\tCtrl+O" need the mnemonic before the tab:
// "開く...(&O)\tCtrl+O". Captions without a tab stay as they are.
std::string MnemonicBeforeKeyText(const std::string& caption);

}  // namespace velmora
