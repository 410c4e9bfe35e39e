#include "Menus.h"

#include <wx/menu.h>
#include <wx/toolbar.h>

#include <vector>

#include "ToolBarArt.h"
#include "app/CommandTable.h"

namespace velmora {

namespace {

wxString FromUtf8(const std::string& text) {
  return wxString::FromUTF8(text.c_str());
}

wxMenu* BuildMenu(const std::vector<MenuEntry>& entries) {
  auto* menu = new wxMenu;
  for (const MenuEntry& entry : entries) {
    switch (entry.kind) {
      case MenuEntry::Kind::Separator:
        menu->AppendSeparator();
        break;
      case MenuEntry::Kind::Submenu:
        menu->AppendSubMenu(BuildMenu(entry.children), MenuLabel(entry.caption));
        break;
      case MenuEntry::Kind::Item:
        menu->Append(ToWxId(entry.id), MenuLabel(entry.caption),
                     FromUtf8(CommandTextOf(entry.id).prompt),
                     HasCheckMark(entry.id) ? wxITEM_CHECK : wxITEM_NORMAL);
        break;
    }
  }
  return menu;
}

}  // namespace

wxString MenuLabel(const std::string& caption) {
#ifdef __WXMSW__
  return FromUtf8(caption);  // Windows draws the text after the tab as it stands
#else
  return FromUtf8(MnemonicBeforeKeyText(caption));
#endif
}

wxMenuBar* BuildMenuBar() {
  auto* bar = new wxMenuBar;
  for (const MenuEntry& top : MainMenu()) {
    bar->Append(BuildMenu(top.children), MenuLabel(top.caption));
  }
  return bar;
}

bool LoadToolBar(wxToolBar& bar) {
  bar.SetToolBitmapSize(wxSize(16, 15));
  for (int id : ToolBarLayout()) {
    if (id == kToolSeparator) {
      bar.AddSeparator();
      continue;
    }
    const CommandText text = CommandTextOf(id);
    const wxBitmap image = ToolImage(id);
    if (!image.IsOk()) return false;
    bar.AddTool(ToWxId(id), wxEmptyString, image, wxNullBitmap,
                HasCheckMark(id) ? wxITEM_CHECK : wxITEM_NORMAL, FromUtf8(text.toolTip),
                FromUtf8(text.prompt));
  }
  return bar.Realize();
}

wxAcceleratorTable BuildAccelerators() {
  std::vector<wxAcceleratorEntry> entries;
  for (const Accelerator& a : Accelerators()) {
    entries.emplace_back(a.ctrl ? wxACCEL_CTRL : wxACCEL_NORMAL, a.key == ' ' ? WXK_SPACE : a.key,
                         ToWxId(a.id));
  }
  return wxAcceleratorTable(static_cast<int>(entries.size()), entries.data());
}

}  // namespace velmora
