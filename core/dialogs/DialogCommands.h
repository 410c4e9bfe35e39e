#pragma once
// The commands that open the program's modal dialogs: the ten fade setups and the properties
// (the view's), and the about box (the application's). The windows themselves are behind
// DialogWindows, which the window layer implements and the tests script.

#include "dialogs/AboutBox.h"
#include "dialogs/Properties.h"
#include "seams/CommandTarget.h"

namespace velmora {

class CVelmoraDoc;
class FadeSetup;
class MixerPanel;

// Runs one modal dialog and returns when it has closed. User-interface thread only.
class DialogWindows {
 public:
  virtual ~DialogWindows() = default;
  // True when the dialog ended with OK; `setup` then holds the accepted curve and time.
  virtual bool RunFadeSetup(FadeSetup& setup) = 0;
  virtual void RunProperties(const PropertyEntries& entries) = 0;
  virtual void RunAbout(AboutBox& about) = 0;
};

// Fade setup (cmd::kFadeInWhole, kFadeIn, kFadeOutWhole, kFadeOut) and properties
// (cmd::kProperties), routed through the view.
// OK in a fade setup stores the setting and marks the mix stale as a change of the document.
class ViewDialogCommands : public CommandTarget {
 public:
  // All must outlive the target.
  ViewDialogCommands(CVelmoraDoc& doc, MixerPanel& panel, DialogWindows& windows);

  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override;

 private:
  void EditFade(bool fadeOut, int target);

  CVelmoraDoc& doc_;
  MixerPanel& panel_;
  DialogWindows& windows_;
};

// The about box (cmd::kAbout), routed to the application.
class AboutCommand : public CommandTarget {
 public:
  // Both must outlive the target.
  AboutCommand(AboutBox& about, DialogWindows& windows) : about_(about), windows_(windows) {}

  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override;

 private:
  AboutBox& about_;
  DialogWindows& windows_;
};

// The about box put together with its command, from the seams the window layer hands over.
class AboutParts {
 public:
  // All must outlive the parts.
  AboutParts(Ui& ui, WebBrowser& browser, MailClient& mail, DialogWindows& windows)
      : about_(ui, browser, mail), command_(about_, windows) {}
  AboutParts(const AboutParts&) = delete;
  AboutParts& operator=(const AboutParts&) = delete;

  CommandTarget& command() { return command_; }

 private:
  AboutBox about_;
  AboutCommand command_;
};

// The fade a command edits: direction and target (0..3 channel, 4 whole mix); false for any
// other command.
bool FadeOfCommand(int id, bool& fadeOut, int& target);

}  // namespace velmora
