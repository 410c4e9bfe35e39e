// The main window of the real program under X: menu, accelerators, tool bar, enabled states
// and check marks following the document, caption and style, start-up files, the settings at
// start and exit with their failure messages (a saved position or devices no longer there
// included), the close question, help and suspend.

#include <gtest/gtest.h>
#include <wx/config.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/display.h>
#include <wx/filehistory.h>
#include <wx/html/helpctrl.h>
#include <wx/html/helpdata.h>
#include <wx/html/helpfrm.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>
#include <wx/menu.h>
#include <wx/scrolwin.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "GuiTestMain.h"
#include "MainFrame.h"
#include "Menus.h"
#include "MetronomeDlg.h"
#include "MixerForm.h"
#include "ShellFixture.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "VelmoraWxDoc.h"
#include "app/CommandTable.h"
#include "app/Settings.h"
#include "audio/VirtualAudioBackend.h"
#include "io/Format.h"
#include "panel/MixerPanel.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "shell/WxConfigSettingsStore.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"
#include "support/MenuCommands.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Pump;

// Settings in memory that outlive the store the application owns.
struct StoreState {
  std::map<std::string, Bytes> values;
  std::vector<std::string> writes;
  std::string failValue;
};

class ScriptedStore : public SettingsStore {
 public:
  explicit ScriptedStore(std::shared_ptr<StoreState> state) : state_(std::move(state)) {}
  bool OpenKey() override { return !state_->values.empty(); }
  bool CreateKey() override { return true; }
  std::optional<Bytes> ReadValue(const std::string& name) override {
    const auto it = state_->values.find(name);
    return it == state_->values.end() ? std::nullopt : std::optional<Bytes>(it->second);
  }
  bool WriteValue(const std::string& name, const Bytes& bytes) override {
    state_->writes.push_back(name);
    if (name == state_->failValue) return false;
    state_->values[name] = bytes;
    return true;
  }
  void CloseKey() override {}

 private:
  std::shared_ptr<StoreState> state_;
};

// Hands every call to a FakeUi that the test owns, so its record outlives the shell.
class ForwardingUi : public Ui {
 public:
  explicit ForwardingUi(test::FakeUi& ui) : ui_(ui) {}
  Answer ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) override {
    return ui_.ShowMessage(text, icon, buttons);
  }
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override {
    return ui_.ChooseOpenFile(request);
  }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override {
    return ui_.ChooseSaveFile(request);
  }
  void BeginWaitCursor() override { ui_.BeginWaitCursor(); }
  void EndWaitCursor() override { ui_.EndWaitCursor(); }
  void Beep() override { ui_.Beep(); }
  void ReportFileError(const std::string& path) override { ui_.ReportFileError(path); }

 private:
  test::FakeUi& ui_;
};

class SilentVolume : public MasterVolume {
 public:
  VolumeRange GetMasterVolumeRange() override { return {}; }
  int32_t GetMasterVolume() override { return 0; }
  bool SetMasterVolume(int32_t) override { return false; }
};

class CapturedPower : public PowerEvents {
 public:
  explicit CapturedPower(SuspendHandler* slot) : slot_(slot) {}
  bool Start(SuspendHandler handler) override {
    *slot_ = std::move(handler);
    return true;
  }

 private:
  SuspendHandler* slot_;
};

// Records the commands it is offered and runs those it was given.
class Probe : public CommandTarget {
 public:
  explicit Probe(std::vector<int> runs = {}) : runs_(std::move(runs)) {}
  bool OnCommand(int id) override {
    offered.push_back(id);
    return HandlesCommand(id);
  }
  bool HandlesCommand(int id) const override {
    return std::find(runs_.begin(), runs_.end(), id) != runs_.end();
  }
  std::vector<int> offered;

 private:
  std::vector<int> runs_;
};

class UpdateProbe : public ViewUpdateTarget {
 public:
  void OnInitialUpdate() override { ++initial; }
  void OnUpdate(const DocumentNotice&) override { ++updates; }
  int initial = 0;
  int updates = 0;
};

CVelmoraApp& App() {
  return TheApp();
}

class ShellWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::WxReady()) GTEST_SKIP() << "no X display (DISPLAY is unset)";
    store = std::make_shared<StoreState>();
  }

  void TearDown() override {
    if (test::WxReady() && App().frame() != nullptr) Close();
  }

  // Starts the shell with a recording Ui and the given store (default: the scripted one).
  void Start(const std::vector<std::string>& files = {},
             std::unique_ptr<SettingsStore> settings = nullptr) {
    ShellServices services;
    recordingUi = std::make_unique<test::FakeUi>();
    fakeUi = recordingUi.get();
    services.ui = std::make_unique<ForwardingUi>(*recordingUi);
    services.settings = settings ? std::move(settings) : std::make_unique<ScriptedStore>(store);
    services.masterVolume = std::make_unique<SilentVolume>();
    services.powerEvents = std::make_unique<CapturedPower>(&suspendHandler);
    services.audio = std::make_unique<VirtualAudioBackend>();
    services.profileFile = dir.File("profile.conf");
    ASSERT_TRUE(App().StartShell(std::move(services), files));
    frame = App().frame();
    ASSERT_NE(frame, nullptr);
    Pump();
  }

  void Close(bool force = true) {
    frame->Close(force);
    Pump();
    if (App().frame() != nullptr) return;  // vetoed
    App().DeletePendingWindows();
    App().FinishShell();
  }

  void UpdateUi() {
    frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    frame->DoMenuUpdates();
  }

  static void Send(int id) {
    test::Send(id);
    Pump();
  }

  CVelmoraDoc& Doc() { return App().document()->core(); }

  std::string Wav(const std::string& name) {
    return test::WriteWav(dir, name, test::WavSpec{}, test::Pcm16({100, -100, 3000, -3000}));
  }

  test::TempDir dir;
  std::shared_ptr<StoreState> store;
  std::unique_ptr<test::FakeUi> recordingUi;
  test::FakeUi* fakeUi = nullptr;
  CMainFrame* frame = nullptr;
  PowerEvents::SuspendHandler suspendHandler;
};

wxString Wx(const std::string& text) {
  return wxString::FromUTF8(text.c_str());
}

void ExpectMenuMatches(const wxMenu& menu, const std::vector<MenuEntry>& entries) {
  ASSERT_EQ(menu.GetMenuItemCount(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const wxMenuItem* item = menu.FindItemByPosition(i);
    const MenuEntry& entry = entries[i];
    SCOPED_TRACE(entry.caption);
    switch (entry.kind) {
      case MenuEntry::Kind::Separator:
        EXPECT_TRUE(item->IsSeparator());
        break;
      case MenuEntry::Kind::Submenu:
        ASSERT_TRUE(item->IsSubMenu());
        EXPECT_EQ(item->GetItemLabel(), Wx(MnemonicBeforeKeyText(entry.caption)));
        ExpectMenuMatches(*item->GetSubMenu(), entry.children);
        break;
      case MenuEntry::Kind::Item:
        EXPECT_EQ(FromWxId(item->GetId()), entry.id);
        EXPECT_EQ(item->GetItemLabel(), Wx(MnemonicBeforeKeyText(entry.caption)));
        EXPECT_EQ(item->GetHelp(), Wx(CommandTextOf(entry.id).prompt));
        EXPECT_EQ(item->IsCheckable(), HasCheckMark(entry.id));
        break;
    }
  }
}

// wx is handed every command and bar id below its limit, clear of its stock ids, each its own,
// and gives back the program's id.
TEST(WxIds, EveryIdOfTheBarsLiesWhereWxTakesItAndComesBack) {
  std::vector<int> ids = test::MenuCommands();
  for (int id : ToolBarLayout()) {
    if (id != kToolSeparator) ids.push_back(id);
  }
  for (const Accelerator& a : Accelerators()) ids.push_back(a.id);
  ids.push_back(CMainFrame::kToolBarId);
  ids.push_back(CMainFrame::kStatusBarId);
  std::map<int, int> programIdOf;
  for (int id : ids) {
    SCOPED_TRACE(id);
    const int wxId = ToWxId(id);
    EXPECT_GT(wxId, 0);
    EXPECT_LT(wxId, 0x7fff);
    EXPECT_FALSE(wxId >= wxID_LOWEST && wxId <= wxID_HIGHEST) << wxId;
    EXPECT_EQ(FromWxId(wxId), id);
    EXPECT_EQ(programIdOf.emplace(wxId, id).first->second, id) << "two ids share " << wxId;
  }
}

TEST_F(ShellWindowTest, MenuBarIsMenu128WithEveryCaptionIdAndPrompt) {
  Start();
  const wxMenuBar* bar = frame->GetMenuBar();
  ASSERT_NE(bar, nullptr);
  const std::vector<MenuEntry>& menu = MainMenu();
  ASSERT_EQ(bar->GetMenuCount(), menu.size());
  for (size_t i = 0; i < menu.size(); ++i) {
    EXPECT_EQ(bar->GetMenuLabel(i), Wx(menu[i].caption));
    ExpectMenuMatches(*bar->GetMenu(i), menu[i].children);
  }
  // The key text stays beside the caption, its mnemonic moved before the tab.
  EXPECT_EQ(bar->FindItem(ToWxId(cmd::kOpen))->GetItemLabel(), Wx("開く...(&O)\tCtrl+O"));
  EXPECT_EQ(bar->FindItem(ToWxId(cmd::kStop))->GetItemLabel(), Wx("停止(&S)\tSpace"));
  EXPECT_EQ(bar->FindItem(ToWxId(cmd::kAbout))->GetItemLabel(),
            Wx("Velmoraのバージョン情報 (&A)..."));
}

TEST_F(ShellWindowTest, ToolBarHasTheButtonsInOrderWithTheirTips) {
  Start();
  wxToolBar* bar = frame->GetToolBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar, frame->styleBar());
  EXPECT_EQ(FromWxId(bar->GetId()), CMainFrame::kToolBarId);
  const std::vector<int>& layout = ToolBarLayout();
  ASSERT_EQ(bar->GetToolsCount(), layout.size());
  for (size_t i = 0; i < layout.size(); ++i) {
    const wxToolBarToolBase* tool = bar->GetToolByPos(static_cast<int>(i));
    if (layout[i] == kToolSeparator) {
      EXPECT_TRUE(tool->IsSeparator()) << i;
      continue;
    }
    EXPECT_EQ(FromWxId(tool->GetId()), layout[i]) << i;
    EXPECT_EQ(tool->GetShortHelp(), Wx(CommandTextOf(layout[i]).toolTip));
    EXPECT_EQ(tool->GetNormalBitmap().GetSize(), wxSize(16, 15)) << layout[i];
    EXPECT_EQ(tool->CanBeToggled(), HasCheckMark(layout[i]));
  }
}

TEST_F(ShellWindowTest, FrameCaptionStyleStatusBarAndFormSize) {
  Start();
  EXPECT_EQ(frame->GetTitle(), Wx("無題 - Velmora"));
  const long style = frame->GetWindowStyleFlag();
  EXPECT_TRUE(style & wxCAPTION);
  EXPECT_TRUE(style & wxSYSTEM_MENU);
  EXPECT_TRUE(style & wxMINIMIZE_BOX);
  EXPECT_FALSE(style & wxMAXIMIZE_BOX);
  EXPECT_FALSE(style & wxRESIZE_BORDER);

  wxStatusBar* status = frame->GetStatusBar();
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(FromWxId(status->GetId()), CMainFrame::kStatusBarId);
  EXPECT_EQ(status->GetFieldsCount(), 4);
  EXPECT_EQ(status->GetStatusText(0), Wx("レディ"));

  CVelmoraView* view = App().view();
  ASSERT_NE(view, nullptr);
  // The form is template 101's size, or larger where the toolkit's controls need the room.
  const wxRect form = view->FormRect(0, 0, 353, 242);
  EXPECT_GE(view->form()->GetSize().GetWidth(), form.GetWidth());
  EXPECT_GE(view->form()->GetSize().GetHeight(), form.GetHeight());
  EXPECT_EQ(frame->GetClientSize().GetHeight(), view->form()->GetSize().GetHeight());
  EXPECT_EQ(frame->GetMinSize(), frame->GetMaxSize()) << "the user cannot resize it";
}

TEST_F(ShellWindowTest, StatesAndMarksFollowTheDocument) {
  Start();
  wxMenuBar* menu = frame->GetMenuBar();
  wxToolBar* tools = frame->GetToolBar();
  UpdateUi();
  // No channel: Play, Properties and mono playback are off; Record, Stop and Pause are on.
  for (int id : {cmd::kPlay, cmd::kProperties, cmd::kMonoPlayback, cmd::kSelectChannel, cmd::kSave,
                 cmd::kGoToStart, cmd::kCorrections}) {
    EXPECT_FALSE(menu->IsEnabled(ToWxId(id))) << id;
  }
  for (int id : {cmd::kRecord, cmd::kStop, cmd::kPause, cmd::kNew, cmd::kOpen, cmd::kMetronome,
                 cmd::kExit, cmd::kHelpFinder, cmd::kAbout, cmd::kAudioDevices}) {
    EXPECT_TRUE(menu->IsEnabled(ToWxId(id))) << id;
  }
  EXPECT_TRUE(menu->IsChecked(ToWxId(cmd::kStop)));
  EXPECT_TRUE(tools->GetToolState(ToWxId(cmd::kStop)));
  EXPECT_FALSE(tools->GetToolEnabled(ToWxId(cmd::kPlay)));
  EXPECT_FALSE(tools->GetToolEnabled(ToWxId(cmd::kSelectChannel)));

  // Open through the menu command: the document loads the chosen file into channel 1.
  fakeUi->openChoices = {Wav("take.wav")};
  Send(cmd::kOpen);
  ASSERT_TRUE(Doc().slot(0).HasData());
  UpdateUi();
  for (int id : {cmd::kPlay, cmd::kProperties, cmd::kMonoPlayback, cmd::kSelectChannel}) {
    EXPECT_TRUE(menu->IsEnabled(ToWxId(id))) << id;
  }
  EXPECT_TRUE(menu->IsChecked(ToWxId(cmd::kSelectChannel)));
  EXPECT_FALSE(menu->IsEnabled(ToWxId(cmd::kSelectChannel + 1)));
  EXPECT_TRUE(tools->GetToolEnabled(ToWxId(cmd::kPlay)));
  EXPECT_TRUE(tools->GetToolState(ToWxId(cmd::kSelectChannel)));
  EXPECT_FALSE(menu->IsEnabled(ToWxId(cmd::kSave))) << "no mix yet";

  Doc().SetMonoPlayback(true);
  Doc().SetTransportState(TransportState::TuningTone);
  UpdateUi();
  for (int id :
       {cmd::kPlay, cmd::kRecord, cmd::kStop, cmd::kPause, cmd::kNew, cmd::kAudioDevices}) {
    EXPECT_FALSE(menu->IsEnabled(ToWxId(id))) << id;
  }
  EXPECT_TRUE(menu->IsChecked(ToWxId(cmd::kStop))) << "kept while the tuning tone sounds";
  EXPECT_TRUE(menu->IsChecked(ToWxId(cmd::kMonoPlayback)));
  Doc().SetTransportState(TransportState::Stopped);
}

TEST_F(ShellWindowTest, UndoAndRedoItemsNameTheirStepAndCtrlZUndoes) {
  Start();
  wxMenuBar* menu = frame->GetMenuBar();
  const auto label = [&](int id) { return menu->FindItem(ToWxId(id))->GetItemLabel(); };
  UpdateUi();
  EXPECT_FALSE(menu->IsEnabled(ToWxId(cmd::kUndo)));
  EXPECT_EQ(label(cmd::kUndo), Wx("元に戻す(&U)\tCtrl+Z"));

  fakeUi->openChoices = {Wav("take.wav")};
  Send(cmd::kOpen);
  ASSERT_TRUE(Doc().slot(0).HasData());
  const int32_t loaded = Doc().slot(0).level;
  Doc().SetLevel(0, 20);
  UpdateUi();
  EXPECT_TRUE(menu->IsEnabled(ToWxId(cmd::kUndo)));
  EXPECT_EQ(label(cmd::kUndo), Wx("元に戻す: レベル (Ch1)(&U)\tCtrl+Z"));
  EXPECT_FALSE(menu->IsEnabled(ToWxId(cmd::kRedo)));

  frame->Raise();
  frame->SetFocus();
  wxUIActionSimulator keys;
  keys.MouseMove(frame->GetScreenPosition() + wxPoint(40, frame->GetSize().y / 2));
  for (int i = 0; i < 20 && !frame->IsActive(); ++i) Pump();
  keys.Char('Z', wxMOD_CONTROL);
  Pump();
  EXPECT_EQ(Doc().slot(0).level, loaded) << "Ctrl+Z undid the level";
  UpdateUi();
  EXPECT_EQ(label(cmd::kUndo), Wx("元に戻す: 読み込み (Ch1)(&U)\tCtrl+Z"));
  EXPECT_EQ(label(cmd::kRedo), Wx("やり直し: レベル (Ch1)(&R)\tCtrl+Y"));

  Send(cmd::kRedo);
  EXPECT_EQ(Doc().slot(0).level, 20);
  UpdateUi();
  EXPECT_EQ(label(cmd::kRedo), Wx("やり直し(&R)\tCtrl+Y"));
  EXPECT_FALSE(menu->IsEnabled(ToWxId(cmd::kRedo)));
}

TEST_F(ShellWindowTest, AcceleratorsAndKeysReachTheRouteOnceAndNeverWhenDisabled) {
  Start();
  const wxAcceleratorTable* table = frame->GetAcceleratorTable();
  ASSERT_NE(table, nullptr);
  for (const Accelerator& a : Accelerators()) {
    wxKeyEvent key(wxEVT_KEY_DOWN);
    key.m_keyCode = a.key == ' ' ? WXK_SPACE : a.key;
    key.m_controlDown = a.ctrl;
    EXPECT_EQ(FromWxId(table->GetCommand(key)), a.id) << static_cast<char>(a.key);
  }

  // Real key presses: each reaches the frame once as its command (the menu's own key and the
  // accelerator table must not both fire), and a disabled command does nothing.
  std::vector<int> commands;
  frame->Bind(wxEVT_MENU, [&](wxCommandEvent& e) {
    commands.push_back(FromWxId(e.GetId()));
    e.Skip();
  });
  frame->Raise();
  frame->SetFocus();
  wxUIActionSimulator keys;
  keys.MouseMove(frame->GetScreenPosition() + wxPoint(40, frame->GetSize().y / 2));
  for (int i = 0; i < 20 && !frame->IsActive(); ++i) Pump();
  keys.Char(WXK_SPACE);
  Pump();
  keys.Char('T', wxMOD_CONTROL);
  Pump();
  keys.Char('O', wxMOD_CONTROL);
  Pump();
  EXPECT_EQ(commands, (std::vector<int>{cmd::kStop, cmd::kPause, cmd::kOpen}));
  EXPECT_EQ(fakeUi->openRequests.size(), 1u) << "Open ran once";

  Doc().SetTransportState(TransportState::Playing);
  keys.Char('O', wxMOD_CONTROL);
  Pump();
  EXPECT_EQ(fakeUi->openRequests.size(), 1u) << "Open is disabled while playing";
  Doc().SetTransportState(TransportState::Stopped);
}

TEST_F(ShellWindowTest, ViewTargetsComeBeforeTheDocumentAndNewRefreshesTheView) {
  Start();
  Probe panel({cmd::kOpen});
  UpdateProbe updates;
  CVelmoraView* view = App().view();
  view->AddCommandTarget(&panel);
  view->AddUpdateTarget(&updates);
  Send(cmd::kOpen);
  EXPECT_EQ(panel.offered, (std::vector<int>{cmd::kOpen}));
  EXPECT_TRUE(fakeUi->openRequests.empty()) << "the document's Open was not reached";

  Send(cmd::kNew);
  EXPECT_EQ(updates.updates, 1);
  view->RemoveCommandTarget(&panel);
  view->RemoveUpdateTarget(&updates);
}

TEST_F(ShellWindowTest, FilesOnTheCommandLineLoadAsOpenWouldUpToFour) {
  std::vector<std::string> files;
  for (int i = 1; i <= 5; ++i) files.push_back(Wav("take" + std::to_string(i) + ".wav"));
  Start(files);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Doc().slot(i).path, files[i]);
  EXPECT_EQ(fakeUi->Texts(), (std::vector<std::string>{msg::kNoEmptySlot}));
  EXPECT_EQ(frame->GetTitle(), Wx("無題 - Velmora"));
}

TEST_F(ShellWindowTest, AFileNamedOnTheCommandLineLeavesTheDocumentUnmodifiedAsOpenWould) {
  Start({Wav("take.wav")});
  ASSERT_TRUE(Doc().slot(0).HasData());
  EXPECT_FALSE(Doc().IsModified());
  Close(false);
  EXPECT_EQ(App().frame(), nullptr) << "quitting at once asks nothing";
  EXPECT_TRUE(fakeUi->messages.empty());

  // A second file changes the document, as a second Open does.
  Start({Wav("a.wav"), Wav("b.wav")});
  EXPECT_TRUE(Doc().IsModified());
}

TEST_F(ShellWindowTest, FocusStartsOnTheFirstEnabledControlOfTheFirstChannel) {
  Start({Wav("take.wav")});
  wxWindow* form = App().view()->form();
  EXPECT_EQ(wxWindow::FindFocus(), wxWindow::FindWindowById(ctl::kLevel[0], form));
  Close();

  // Nothing loaded: the strips are disabled, and the time field only shows.
  Start();
  form = App().view()->form();
  EXPECT_EQ(wxWindow::FindFocus(), wxWindow::FindWindowById(ctl::kTuningButton, form));
}

TEST_F(ShellWindowTest, TheRecentFileListKeepsFour) {
  {
    const std::unique_ptr<wxConfigBase> profile = OpenProfile(dir.File("profile.conf"));
    for (int i = 1; i <= 6; ++i)
      profile->Write(Format("file%d", i), Wx(dir.File(Format("%d.wav", i))));
    profile->Flush();
  }
  Start();
  wxFileHistory* history = App().docManager()->GetFileHistory();
  ASSERT_NE(history, nullptr);
  EXPECT_EQ(history->GetMaxFiles(), 4u);
  EXPECT_EQ(history->GetCount(), 4u);
}

// Run at display scales 1 and 2 (GDK_SCALE=2 gives a 1280 x 1024 screen 640 x 512 pixels).
TEST_F(ShellWindowTest, TheWindowStaysWithinTheWorkAreaAtAnyDisplayScale) {
  Start({Wav("1.wav"), Wav("2.wav"), Wav("3.wav"), Wav("4.wav")});
  const int display = wxDisplay::GetFromWindow(frame);
  const wxRect area =
      wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
  const wxSize formSize = App().view()->form()->GetSize();
  SCOPED_TRACE(Format("scale %.1f, work area %dx%d, form %dx%d", frame->GetContentScaleFactor(),
                      area.width, area.height, formSize.x, formSize.y));
  EXPECT_LE(frame->GetSize().x, area.width);
  EXPECT_LE(frame->GetSize().y, area.height);
  EXPECT_EQ(frame->GetMinSize(), frame->GetMaxSize()) << "still not resizable by the user";

  // The whole form can be reached: what the window does not show scrolls into view.
  wxScrolledWindow* scroller = App().view()->scroller();
  const wxSize shown = scroller->GetClientSize();
  EXPECT_EQ(scroller->GetVirtualSize(), formSize);
  EXPECT_EQ(scroller->HasScrollbar(wxVERTICAL), shown.y < formSize.y);
  EXPECT_EQ(scroller->HasScrollbar(wxHORIZONTAL), shown.x < formSize.x);
  if (shown.y >= formSize.y && shown.x >= formSize.x) {
    EXPECT_EQ(frame->GetClientSize(), formSize) << "a screen that holds the form shows all of it";
  }
  // The lowest control of the last strip comes into view when it takes the focus.
  frame->Raise();
  wxUIActionSimulator().MouseMove(frame->GetScreenPosition() + wxPoint(40, frame->GetSize().y / 2));
  for (int i = 0; i < 20 && !frame->IsActive(); ++i) Pump();
  wxWindow* offset = wxWindow::FindWindowById(ctl::kOffsetEdit[3], App().view()->form());
  offset->SetFocus();
  Pump();
  const wxRect onScreen(offset->GetScreenPosition(), offset->GetSize());
  EXPECT_TRUE(wxRect(scroller->GetScreenPosition(), shown).Contains(onScreen));
  test::SaveScreenshotOfFrame(
      *frame, Format("main-window-scale%d", static_cast<int>(frame->GetContentScaleFactor())));
}

// Where `window` draws text inside `area`: the pixels well darker than the area's lightest.
struct Ink {
  wxRect bounds;  // of every text pixel; empty when there is none
  int darkest = 255;
};

Ink InkIn(wxWindow& window, const wxRect& area) {
  window.Refresh();
  window.Update();
  wxBitmap shot(window.GetClientSize());
  {
    wxMemoryDC memory(shot);
    wxClientDC source(&window);
    memory.Blit(0, 0, shot.GetWidth(), shot.GetHeight(), &source, 0, 0);
  }
  const wxImage image = shot.ConvertToImage();
  int lightest = 0;
  for (int y = area.y; y < area.GetBottom(); ++y) {
    for (int x = area.x; x < area.GetRight(); ++x) {
      lightest = std::max(lightest, static_cast<int>(image.GetGreen(x, y)));
    }
  }
  Ink ink;
  for (int y = area.y; y < area.GetBottom(); ++y) {
    for (int x = area.x; x < area.GetRight(); ++x) {
      const int level = image.GetGreen(x, y);
      if (level >= lightest - 48) continue;
      ink.darkest = std::min(ink.darkest, level);
      ink.bounds = ink.bounds.IsEmpty() ? wxRect(x, y, 1, 1) : ink.bounds.Union(wxRect(x, y, 1, 1));
    }
  }
  return ink;
}

TEST_F(ShellWindowTest, StatusBarShowsReadyClearOfTheEdgesAndTheLockIndicators) {
  Start();
  auto* status = dynamic_cast<CMainStatusBar*>(frame->GetStatusBar());
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->GetStatusText(0), Wx("レディ"));
  const char* const names[] = {"CAP", "NUM", "SCRL"};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(status->GetStatusText(i + 1), names[i]);

  // "レディ" keeps its distance from the window's edges.
  wxRect message;
  ASSERT_TRUE(status->GetFieldRect(0, message));
  const Ink ready = InkIn(*status, message);
  ASSERT_FALSE(ready.bounds.IsEmpty());
  EXPECT_GE(ready.bounds.x, status->FromDIP(4));
  EXPECT_GE(ready.bounds.y, 2);
  EXPECT_LE(ready.bounds.GetBottom(), status->GetClientSize().y - 3);

  // Each indicator shows, greyed while its lock is off, and darker once it is on.
  std::vector<Ink> off;
  for (int i = 1; i <= 3; ++i) {
    wxRect pane;
    ASSERT_TRUE(status->GetFieldRect(i, pane));
    off.push_back(InkIn(*status, pane.Deflate(2)));
    EXPECT_FALSE(off.back().bounds.IsEmpty()) << names[i - 1] << " is drawn";
  }
  test::SaveScreenshot(*status, "status-bar");
  if ((status->locks() & 1) != 0) return;  // the display's Caps Lock is on already
  wxUIActionSimulator keys;
  keys.Char(WXK_CAPITAL);
  for (int i = 0; i < 20 && (status->locks() & 1) == 0; ++i) Pump();
  const bool capsOn = (status->locks() & 1) != 0;
  wxRect caps;
  status->GetFieldRect(1, caps);
  const Ink on = InkIn(*status, caps.Deflate(2));
  test::SaveScreenshot(*status, "status-bar-caps-lock");
  keys.Char(WXK_CAPITAL);
  for (int i = 0; i < 20 && (status->locks() & 1) != 0; ++i) Pump();
  ASSERT_TRUE(capsOn) << "Caps Lock pressed on the display";
  EXPECT_LT(on.darkest, off[0].darkest);
}

TEST_F(ShellWindowTest, PositionComesFromTheSettingsAndIsWrittenAtExit) {
  const std::string file = dir.File("config/Velmora.conf");
  {
    WxConfigSettingsStore seed(file);
    test::FakeUi quiet;
    ASSERT_TRUE(WriteWindowRect(seed, quiet, {120, 80, 130, 90}));
  }
  Start({}, std::make_unique<WxConfigSettingsStore>(file));
  EXPECT_EQ(frame->GetPosition(), wxPoint(120, 80));
  EXPECT_NE(frame->GetSize(), wxSize(10, 10)) << "the size is never restored";
  frame->Move(200, 150);
  Pump();
  const wxSize size = frame->GetSize();
  Close();

  EXPECT_TRUE(fakeUi->messages.empty());
  WxConfigSettingsStore saved(file);
  const std::optional<WindowRect> rect = ReadWindowRect(saved);
  ASSERT_TRUE(rect.has_value());
  EXPECT_EQ(rect->left, 200);
  EXPECT_EQ(rect->top, 150);
  EXPECT_EQ(rect->right - rect->left, size.GetWidth());
  EXPECT_EQ(rect->bottom - rect->top, size.GetHeight());
  ViewSettings view;
  view.tuningHz = 0;
  ReadViewSettings(saved, view);
  EXPECT_EQ(view.inputDevice, -1);
  EXPECT_EQ(view.tuningHz, 440);
}

TEST_F(ShellWindowTest, APositionOffEveryScreenIsBroughtOntoTheWorkArea) {
  // 100000 is -31072 to the window system, which keeps 16 bits of a position.
  const wxRect area = wxDisplay(0u).GetClientArea();
  for (const int32_t saved : {5000, 100000, -31072}) {
    SCOPED_TRACE(saved);
    {
      test::FakeUi quiet;
      ScriptedStore seed(store);
      ASSERT_TRUE(WriteWindowRect(seed, quiet, {saved, saved, saved + 10, saved + 10}));
    }
    Start();
    const wxRect rect = frame->GetRect();
    EXPECT_TRUE(area.Contains(rect)) << rect.x << "," << rect.y << " " << rect.width << "x"
                                     << rect.height << " on " << area.width << "x" << area.height;
    Close();
  }
}

TEST_F(ShellWindowTest, StoredDevicesThatAreNotThereFallBackToTheDefaultWithANote) {
  // Input 2 and output 3; the virtual sound system has one device each way.
  store->values["Device"] = {2, 0, 0, 0, 3, 0, 0, 0};
  Start();
  ASSERT_TRUE(
      test::RunUntil([] { return App().view()->mixer()->panel().devices().outputCount >= 0; },
                     std::chrono::seconds(10), std::chrono::milliseconds(10)))
      << "the start-up survey arrived";
  EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0),
            Wx("保存された再生・録音デバイスが見つかりません。自動選択を使用します。"));
  EXPECT_EQ(App().view()->settings().outputDevice, kDefaultDevice);
  EXPECT_EQ(App().view()->settings().inputDevice, kDefaultDevice);
  EXPECT_EQ(App().view()->metronome()->metronome().outputDevice, kDefaultDevice);
  Close();
  EXPECT_EQ(store->values["Device"], (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(ShellWindowTest, SettingsWriteFailuresShowTheirMessagesAtExit) {
  // The frame writes first, then the view; a failed "Device" stops the view's writing.
  store->failValue = "Device";
  Start();
  Close();
  EXPECT_EQ(store->writes, (std::vector<std::string>{"Rect", "Device"}));
  EXPECT_EQ(fakeUi->Texts(), (std::vector<std::string>{msg::kSetDeviceFailed}));

  // A key that cannot be created: once for the frame, once for the view.
  const std::string blocker = dir.File("not-a-folder");
  test::WriteBytes(blocker, {1});
  Start({}, std::make_unique<WxConfigSettingsStore>(blocker + "/Velmora/Velmora.conf"));
  Close();
  EXPECT_EQ(fakeUi->Texts(),
            (std::vector<std::string>{msg::kCreateKeyFailed, msg::kCreateKeyFailed}));
  for (const test::ShownMessage& m : fakeUi->messages) EXPECT_EQ(m.icon, MessageIcon::Stop);
}

TEST_F(ShellWindowTest, ClosingAsksOnceAndCancelKeepsTheProgramOpen) {
  Start({Wav("a.wav")});
  test::DocumentAccess::slot(Doc(), 0).path.clear();  // as if recorded and never saved
  fakeUi->answers = {Answer::Cancel};
  Close(false);
  ASSERT_NE(App().frame(), nullptr);
  EXPECT_EQ(fakeUi->messages.size(), 1u);
  EXPECT_TRUE(store->writes.empty()) << "nothing is written while the program stays";

  fakeUi->answers = {Answer::No, Answer::No};
  Close(false);
  EXPECT_EQ(App().frame(), nullptr);
  // Each question of the second close once: the framework's close path does not ask again.
  const std::vector<std::string> texts = fakeUi->Texts();
  const std::string channelQuestion = Format(msg::kUnsavedChannel, 1);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), channelQuestion), 2);
  EXPECT_LE(texts.size(), 3u);
  EXPECT_EQ(store->writes, (std::vector<std::string>{"Rect", "Device", "TuningHz"}));
}

TEST_F(ShellWindowTest, HelpOpensTheJapaneseBook) {
  Start();
  Send(cmd::kHelpFinder);
  ASSERT_NE(frame->help(), nullptr);
  EXPECT_TRUE(fakeUi->messages.empty());
  const wxHtmlBookRecArray& books = frame->help()->GetHelpData()->GetBookRecArray();
  ASSERT_EQ(books.size(), 1u);
  EXPECT_EQ(books[0].GetTitle(), Wx("Velmora ヘルプ"));
  wxHtmlHelpFrame* window = frame->help()->GetFrame();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->IsShown());

  // The page is rendered: headings and text without tags, Japanese decoded from UTF-8.
  Pump();
  wxString page = window->GetHelpWindow()->GetHtmlWindow()->ToText();
  page.Trim(false);
  EXPECT_TRUE(page.StartsWith(Wx("Velmora の使い方"))) << page.utf8_string().substr(0, 80);
  EXPECT_TRUE(page.Contains(Wx("ファイルの読み込み")));
  EXPECT_FALSE(page.Contains("<")) << "shown as HTML, not as its source";
  // Japanese paragraphs wrap inside the window instead of running off its right edge.
  wxHtmlWindow* html = window->GetHelpWindow()->GetHtmlWindow();
  EXPECT_LE(html->GetInternalRepresentation()->GetWidth(), html->GetClientSize().x);

  // Every entry of the contents tree has its label.
  wxTreeCtrl* tree = window->GetHelpWindow()->GetTreeCtrl();
  std::vector<wxString> labels;
  ASSERT_NE(tree, nullptr);
  std::vector<wxTreeItemId> items{tree->GetRootItem()};
  while (!items.empty()) {
    const wxTreeItemId item = items.back();
    items.pop_back();
    if (item != tree->GetRootItem() || !tree->HasFlag(wxTR_HIDE_ROOT)) {
      labels.push_back(tree->GetItemText(item));
    }
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree->GetFirstChild(item, cookie); child.IsOk();
         child = tree->GetNextChild(item, cookie)) {
      items.push_back(child);
    }
  }
  EXPECT_GE(labels.size(), 9u) << "the book, the overview and its seven pages";
  for (const wxString& label : labels) EXPECT_FALSE(label.empty());
  EXPECT_NE(std::find(labels.begin(), labels.end(), Wx("ファイルの読み込み")), labels.end());

  // The Search tab finds Japanese words, whatever locale the program was started in.
  wxHtmlSearchStatus search(frame->help()->GetHelpData(), Wx("録音中"), false, false);
  std::vector<wxString> found;
  while (search.IsActive()) {
    if (search.Search()) found.push_back(search.GetCurItem()->GetFullPath());
  }
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(found[0].EndsWith("/fade.htm")) << found[0].utf8_string();
  test::SaveScreenshot(*window, "help");
}

TEST_F(ShellWindowTest, SuspendSendsStopAndHoldsTheSuspendUntilDone) {
  Start();
  ASSERT_TRUE(suspendHandler);
  std::vector<int> commands;
  frame->Bind(wxEVT_MENU, [&](wxCommandEvent& e) {
    commands.push_back(FromWxId(e.GetId()));
    e.Skip();
  });
  auto released = std::make_shared<bool>(false);
  std::shared_ptr<void> hold(nullptr, [released](void*) { *released = true; });
  // The watcher's thread calls the handler; the stop runs later on this thread.
  std::thread watcher([&] { suspendHandler(std::move(hold)); });
  watcher.join();
  EXPECT_FALSE(*released) << "held until the stop has run";
  EXPECT_TRUE(commands.empty());
  Pump();
  EXPECT_EQ(commands, (std::vector<int>{cmd::kStop}));
  EXPECT_TRUE(*released);
}

}  // namespace
}  // namespace velmora
