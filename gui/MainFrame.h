#pragma once
// CMainFrame: caption, system menu and minimise box only (the user cannot resize or maximise
// it), menu 128, the tool bar CStyleBar, the status bar with its four panes, accelerator table
// 128. Every command it receives goes through the application's router; the frame itself
// answers Exit and Help.

#include <wx/docview.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include <memory>
#include <optional>
#include <string>

#include "seams/CommandTarget.h"

class wxHtmlHelpController;

namespace velmora {

// The main frame's one tool bar.
class CStyleBar : public wxToolBar {
 public:
  CStyleBar(wxWindow* parent, wxWindowID id, long style);
};

// The main frame's status bar: the message pane, then "CAP", "NUM" and "SCRL" in boxes of their
// own. An indicator reads in the normal text colour while its lock is on and greyed while it is
// off, so the three are always there to be read.
class CMainStatusBar : public wxStatusBar {
 public:
  CMainStatusBar(wxWindow* parent, wxWindowID id, long style);

  // Bit 0 Caps Lock, bit 1 Num Lock, bit 2 Scroll Lock.
  void SetLocks(int locks);
  int locks() const { return locks_; }

 protected:
#ifdef __WXGTK__
  void DrawField(wxDC& dc, int i, int textHeight) override;
#endif

 private:
  int locks_ = 0;
};

class CMainFrame : public wxDocParentFrame, public CommandTarget {
 public:
  // The window id of the tool bar and of the status bar, as the original framework numbered them
  // (wx is given them through ToWxId).
  static constexpr int kToolBarId = 0xE800;
  static constexpr int kStatusBarId = 0xE801;

  // Reads the saved position ("Rect": left and top only) before the window exists.
  explicit CMainFrame(wxDocManager* manager);
  ~CMainFrame() override;

  // Tool bar, status bar, menu and accelerators; false when any of them cannot be made.
  bool CreateBars();
  // Sizes the client area to the view's form, or to as much of it as the screen's work area
  // holds (the view scrolls the rest), and keeps the frame on a work area.
  void FitToForm(const wxSize& formSize);
  // "title - Velmora".
  void ShowDocumentTitle(const std::string& title);
  // The system is about to suspend: cmd::kStop as if sent to the window.
  void StopBeforeSuspend();

  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override;
  wxHtmlHelpController* help() const { return help_.get(); }
  CStyleBar* styleBar() const { return styleBar_; }

 protected:
  wxToolBar* OnCreateToolBar(long style, wxWindowID id, const wxString& name) override;
  wxStatusBar* OnCreateStatusBar(int number, long style, wxWindowID id,
                                 const wxString& name) override;

 private:
  CMainFrame(wxDocManager* manager, std::optional<wxPoint> saved);
  // Moves the frame as little as needed to lie wholly on a work area.
  void KeepOnWorkArea();
  void OnSize(wxSizeEvent& event);
  void OnMenuCommand(wxCommandEvent& event);
  void OnUpdateCommand(wxUpdateUIEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnIdle(wxIdleEvent& event);
  void ShowHelp();
  void UpdateIndicators();

  CStyleBar* styleBar_ = nullptr;
  std::unique_ptr<wxHtmlHelpController> help_;
  int indicatorState_ = -1;        // the locks last shown
  bool hasSavedPosition_ = false;  // else the system places the frame as it shows it
};

}  // namespace velmora
