#include "MainFrame.h"

#include <wx/bmpbndl.h>
#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/filename.h>
#include <wx/html/helpctrl.h>
#include <wx/iconbndl.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/statusbr.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

#ifdef __WXGTK__
#include <dlfcn.h>
#endif

#include <optional>
#include <vector>

#include "HelpPages.h"
#include "Menus.h"
#include "VelmoraApp.h"
#include "VelmoraIconSvg.h"
#include "VelmoraWxDoc.h"
#include "app/CommandTable.h"
#include "app/Settings.h"
#include "app/WindowFit.h"
#include "seams/CommandIds.h"

namespace velmora {

namespace {

constexpr long kFrameStyle = wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX;
constexpr const char* kReady = "レディ";
const char* const kIndicators[] = {"CAP", "NUM", "SCRL"};
const wxKeyCode kIndicatorKeys[] = {WXK_CAPITAL, WXK_NUMLOCK, WXK_SCROLL};
constexpr int kStatusTextInset = 6;    // pixels between the bar's edges and the message
constexpr int kStatusTextPadding = 4;  // pixels above and below the text

// Which locks are on (bit 0 Caps, 1 Num, 2 Scroll). X11 reports Scroll Lock only while the key
// is held, so on GTK the toolkit's keymap is asked; its calls are looked up in the toolkit wx
// has already loaded, as for the tool bar.
int LockState() {
#ifdef __WXGTK__
  using GetDisplay = void* (*)();
  using GetKeymap = void* (*)(void*);
  using GetLock = int (*)(void*);
  static const auto getDisplay =
      reinterpret_cast<GetDisplay>(dlsym(RTLD_DEFAULT, "gdk_display_get_default"));
  static const auto getKeymap =
      reinterpret_cast<GetKeymap>(dlsym(RTLD_DEFAULT, "gdk_keymap_get_for_display"));
  static const GetLock locks[] = {
      reinterpret_cast<GetLock>(dlsym(RTLD_DEFAULT, "gdk_keymap_get_caps_lock_state")),
      reinterpret_cast<GetLock>(dlsym(RTLD_DEFAULT, "gdk_keymap_get_num_lock_state")),
      reinterpret_cast<GetLock>(dlsym(RTLD_DEFAULT, "gdk_keymap_get_scroll_lock_state"))};
  void* display = getDisplay != nullptr ? getDisplay() : nullptr;
  void* keymap = display != nullptr && getKeymap != nullptr ? getKeymap(display) : nullptr;
  if (keymap != nullptr && locks[0] != nullptr && locks[1] != nullptr && locks[2] != nullptr) {
    int state = 0;
    for (int i = 0; i < 3; ++i) {
      if (locks[i](keymap) != 0) state |= 1 << i;
    }
    return state;
  }
#endif
  int state = 0;
  for (int i = 0; i < 3; ++i) {
    if (wxGetKeyState(kIndicatorKeys[i])) state |= 1 << i;
  }
  return state;
}

std::vector<PixelRect> WorkAreas() {
  std::vector<PixelRect> areas;
  for (unsigned i = 0; i < wxDisplay::GetCount(); ++i) {
    const wxRect area = wxDisplay(i).GetClientArea();
    areas.push_back({area.x, area.y, area.width, area.height});
  }
  return areas;
}

// The saved corner, already on a work area: a far-off one would reach the window system as
// it stands, which keeps 16 bits of it (100000 becomes -31072).
std::optional<wxPoint> SavedPosition() {
  const std::optional<WindowRect> rect = ReadWindowRect(TheApp().settings());
  if (!rect) return std::nullopt;
  const PixelPoint at = KeepOnWorkArea({rect->left, rect->top}, {1, 1}, WorkAreas());
  return wxPoint(at.x, at.y);
}

wxIconBundle AppIcons() {
  const wxBitmapBundle svg = wxBitmapBundle::FromSVG(kVelmoraIconSvg, wxSize(48, 48));
  wxIconBundle icons;
  for (int size : {16, 32, 48}) icons.AddIcon(svg.GetIcon(wxSize(size, size)));
  return icons;
}

// The help book: beside the program in the build tree, in the installed data folder, else in
// the source tree (tests).
wxString FindHelpBook() {
  const wxFileName exe(wxStandardPaths::Get().GetExecutablePath());
  const wxString candidates[] = {
      exe.GetPath() + "/help/Velmora.hhp",
      exe.GetPath() + "/../share/velmora/help/Velmora.hhp",
      VELMORA_HELP_SOURCE_DIR "/Velmora.hhp",
  };
  for (const wxString& path : candidates) {
    if (wxFileName::FileExists(path)) return path;
  }
  return wxString();
}

// GTK's theme pads tool buttons to nearly twice the original bar's 23 x 22; small flat buttons
// keep the frame as wide as its form. The few GTK calls are looked up in the toolkit wx has
// already loaded, so the build needs no GTK headers; without them the bar keeps the theme's look.
void CompactToolButtons(wxToolBar& bar) {
#ifdef __WXGTK__
  using SetName = void (*)(void*, const char*);
  using NewProvider = void* (*)();
  using LoadData = int (*)(void*, const char*, long, void**);
  using GetScreen = void* (*)(void*);
  using AddProvider = void (*)(void*, void*, unsigned);
  using Unref = void (*)(void*);
  const auto setName = reinterpret_cast<SetName>(dlsym(RTLD_DEFAULT, "gtk_widget_set_name"));
  const auto newProvider =
      reinterpret_cast<NewProvider>(dlsym(RTLD_DEFAULT, "gtk_css_provider_new"));
  const auto loadData =
      reinterpret_cast<LoadData>(dlsym(RTLD_DEFAULT, "gtk_css_provider_load_from_data"));
  const auto getScreen = reinterpret_cast<GetScreen>(dlsym(RTLD_DEFAULT, "gtk_widget_get_screen"));
  const auto addProvider = reinterpret_cast<AddProvider>(
      dlsym(RTLD_DEFAULT, "gtk_style_context_add_provider_for_screen"));
  const auto unref = reinterpret_cast<Unref>(dlsym(RTLD_DEFAULT, "g_object_unref"));
  if (!setName || !newProvider || !loadData || !getScreen || !addProvider || !unref) return;
  constexpr unsigned kApplicationPriority = 600;  // GTK_STYLE_PROVIDER_PRIORITY_APPLICATION
  void* widget = bar.GetHandle();
  setName(widget, "velmora-stylebar");
  void* css = newProvider();
  loadData(css,
           "#velmora-stylebar { padding: 1px 2px; border-bottom: 1px solid alpha(black, 0.15); }"
           "#velmora-stylebar button { padding: 3px; min-width: 0; min-height: 0; }",
           -1, nullptr);
  addProvider(getScreen(widget), css, kApplicationPriority);
  unref(css);
#else
  (void)bar;
#endif
}

}  // namespace

CStyleBar::CStyleBar(wxWindow* parent, wxWindowID id, long style)
    : wxToolBar(parent, id, wxDefaultPosition, wxDefaultSize, style, "CStyleBar") {}

CMainStatusBar::CMainStatusBar(wxWindow* parent, wxWindowID id, long style)
    : wxStatusBar(parent, id, style) {
  SetMinHeight(GetCharHeight() + 2 * FromDIP(kStatusTextPadding));
}

void CMainStatusBar::SetLocks(int locks) {
  locks_ = locks;
  for (int i = 0; i < 3 && i + 1 < GetFieldsCount(); ++i) {
#ifdef __WXGTK__
    // Drawn greyed while off (DrawField).
    SetStatusText(kIndicators[i], i + 1);
    Refresh();
#else
    SetStatusText((locks & (1 << i)) != 0 ? kIndicators[i] : "", i + 1);
#endif
  }
}

#ifdef __WXGTK__
void CMainStatusBar::DrawField(wxDC& dc, int i, int textHeight) {
  wxRect rect;
  if (!GetFieldRect(i, rect) || rect.width <= 0) return;
  const int y = rect.y + (rect.height - textHeight) / 2;
  if (i == 0) {
    const int inset = FromDIP(kStatusTextInset);
    const wxRect text(rect.x + inset, rect.y, rect.width - 2 * inset, rect.height);
    dc.SetTextForeground(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT));
    dc.DrawText(wxControl::Ellipsize(GetStatusText(0), dc, wxELLIPSIZE_END, text.width), text.x, y);
    return;
  }
  // A box of its own, clear of its neighbours and of the window's right edge, with the name
  // centred in it.
  wxRect box = rect.Deflate(FromDIP(1), 0);
  if (i == GetFieldsCount() - 1) box.width -= FromDIP(kStatusTextInset) / 2;
  dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  dc.DrawRectangle(box);
  const bool on = (locks_ & (1 << (i - 1))) != 0;
  dc.SetTextForeground(
      wxSystemSettings::GetColour(on ? wxSYS_COLOUR_BTNTEXT : wxSYS_COLOUR_GRAYTEXT));
  const wxString label = GetStatusText(i);
  dc.DrawText(label, box.x + (box.width - dc.GetTextExtent(label).x) / 2, y);
}
#endif

CMainFrame::CMainFrame(wxDocManager* manager) : CMainFrame(manager, SavedPosition()) {}

CMainFrame::CMainFrame(wxDocManager* manager, std::optional<wxPoint> saved)
    : wxDocParentFrame(manager, nullptr, wxID_ANY, "Velmora", saved.value_or(wxDefaultPosition),
                       wxDefaultSize, kFrameStyle),
      hasSavedPosition_(saved.has_value()) {
  SetIcons(AppIcons());
  Bind(wxEVT_MENU, &CMainFrame::OnMenuCommand, this);
  Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateCommand, this);
  Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
  Bind(wxEVT_IDLE, &CMainFrame::OnIdle, this);
  Bind(wxEVT_SIZE, &CMainFrame::OnSize, this);
  // Tool tips only: resting on a button leaves the status bar alone.
  Bind(wxEVT_TOOL_ENTER, [](wxCommandEvent&) {});
  TheApp().router().Add(RouteLevel::Frame, this);
}

CMainFrame::~CMainFrame() {
  TheApp().router().Remove(this);
  TheApp().OnFrameDestroyed();
}

wxToolBar* CMainFrame::OnCreateToolBar(long style, wxWindowID id, const wxString&) {
  styleBar_ = new CStyleBar(this, id, style);
  return styleBar_;
}

wxStatusBar* CMainFrame::OnCreateStatusBar(int number, long style, wxWindowID id, const wxString&) {
  auto* status = new CMainStatusBar(this, id, style);
  status->SetFieldsCount(number);
  return status;
}

bool CMainFrame::CreateBars() {
  SetMenuBar(BuildMenuBar());
  wxToolBar* bar =
      CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT | wxTB_TOP | wxTB_NODIVIDER, ToWxId(kToolBarId));
  if (bar == nullptr) return false;
  CompactToolButtons(*bar);
  if (!LoadToolBar(*bar)) return false;

  wxStatusBar* status =
      CreateStatusBar(4, wxSTB_SHOW_TIPS | wxSTB_ELLIPSIZE_END, ToWxId(kStatusBarId));
  if (status == nullptr) return false;
  wxClientDC dc(status);
  dc.SetFont(status->GetFont());
  int widths[4] = {-1, 0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    widths[i + 1] = dc.GetTextExtent(kIndicators[i]).x + 2 * FromDIP(kStatusTextInset);
  }
  status->SetStatusWidths(4, widths);
  SetStatusText(wxString::FromUTF8(kReady), 0);
  UpdateIndicators();

  SetAcceleratorTable(BuildAccelerators());
  return true;
}

void CMainFrame::FitToForm(const wxSize& formSize) {
  SetSizeHints(wxDefaultSize, wxDefaultSize);
  const int shown = wxDisplay::GetFromWindow(this);
  const wxRect area =
      wxDisplay(shown == wxNOT_FOUND ? 0u : static_cast<unsigned>(shown)).GetClientArea();
  const wxSize decorations = GetSize() - GetClientSize();
  const ClientFit fit = FitClientToWorkArea(
      {formSize.x, formSize.y}, {decorations.x, decorations.y}, {area.width, area.height},
      wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this));
  SetClientSize(fit.client.width, fit.client.height);
  // Not resizable by the user: the window keeps exactly this size.
  SetSizeHints(GetSize(), GetSize());
  KeepOnWorkArea();
}

void CMainFrame::KeepOnWorkArea() {
  // Without a saved position the system places the frame when it shows it.
  if ((!hasSavedPosition_ && !IsShown()) || IsIconized()) return;
  const wxRect rect = GetRect();
  const PixelPoint at =
      velmora::KeepOnWorkArea({rect.x, rect.y}, {rect.width, rect.height}, WorkAreas());
  if (at.x != rect.x || at.y != rect.y) Move(at.x, at.y);
}

void CMainFrame::OnSize(wxSizeEvent& event) {
  event.Skip();
  // The bars may still add to the frame after the form has set its size.
  KeepOnWorkArea();
}

void CMainFrame::ShowDocumentTitle(const std::string& title) {
  SetTitle(wxString::FromUTF8((title + " - Velmora").c_str()));
}

void CMainFrame::StopBeforeSuspend() {
  // As a command sent to the window, so it takes the route of every other command.
  wxCommandEvent stop(wxEVT_MENU, ToWxId(cmd::kStop));
  stop.SetEventObject(this);
  ProcessWindowEvent(stop);
}

bool CMainFrame::HandlesCommand(int id) const {
  return id == cmd::kExit || id == cmd::kHelpFinder;
}

bool CMainFrame::OnCommand(int id) {
  switch (id) {
    case cmd::kExit:
      Close();
      return true;
    case cmd::kHelpFinder:
      ShowHelp();
      return true;
    default:
      return false;
  }
}

void CMainFrame::OnMenuCommand(wxCommandEvent& event) {
  const int id = FromWxId(event.GetId());
  CommandRouter& router = TheApp().router();
  const bool ours = !CommandTextOf(id).prompt.empty();
  if (!ours && !router.StateOf(id).enabled) {
    event.Skip();
    return;
  }
  router.Execute(id);
}

void CMainFrame::OnUpdateCommand(wxUpdateUIEvent& event) {
  const int id = FromWxId(event.GetId());
  if (CommandTextOf(id).prompt.empty()) {
    event.Skip();
    return;
  }
  const CommandState state = TheApp().router().StateOf(id);
  event.Enable(state.enabled);
  if (!state.caption.empty()) event.SetText(MenuLabel(state.caption));
  if (state.check != CheckMark::Unchanged) event.Check(state.check == CheckMark::On);
}

void CMainFrame::OnClose(wxCloseEvent& event) {
  CVelmoraWxDoc* doc = TheApp().document();
  if (event.CanVeto() && doc != nullptr && !doc->ConfirmClose()) {
    event.Veto();
    return;
  }
  const wxRect rect = GetRect();
  WriteWindowRect(TheApp().settings(), TheApp().ui(),
                  {rect.GetLeft(), rect.GetTop(), rect.GetRight() + 1, rect.GetBottom() + 1});
  // The view goes with the document and writes its own settings.
  if (m_docManager != nullptr) m_docManager->CloseDocuments(true);
  if (help_) help_->Quit();
  Destroy();
}

void CMainFrame::OnIdle(wxIdleEvent& event) {
  UpdateIndicators();
  event.Skip();
}

void CMainFrame::UpdateIndicators() {
  auto* status = dynamic_cast<CMainStatusBar*>(GetStatusBar());
  if (status == nullptr) return;
  const int state = LockState();
  if (state == indicatorState_) return;
  indicatorState_ = state;
  status->SetLocks(state);
}

void CMainFrame::ShowHelp() {
  if (!help_) {
    ReadHelpPagesAsHtml();
    help_ = std::make_unique<wxHtmlHelpController>(wxHF_DEFAULT_STYLE, this);
    help_->SetTitleFormat(wxString::FromUTF8("Velmora ヘルプ: %s"));
    const wxString book = FindHelpBook();
    if (book.empty() || !help_->AddBook(wxFileName(book))) {
      TheApp().ui().ShowError("ヘルプファイルが見つかりません。");
      help_.reset();
      return;
    }
  }
  help_->DisplayContents();
}

}  // namespace velmora
