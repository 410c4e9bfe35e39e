#pragma once
// The program's modal dialogs on wx (fade setup, properties, about box, device selection), run
// for core's dialog commands, and the application's about-box command with the real browser and
// mail opener.
// User-interface thread only.

#include <memory>
#include <string>

#include "dialogs/AboutBox.h"
#include "dialogs/DeviceList.h"
#include "dialogs/DialogCommands.h"
#include "seams/WebBrowser.h"

namespace velmora {

class MailClient;
class Ui;

class WxDialogWindows : public DialogWindows, public DeviceListWindow {
 public:
  bool RunFadeSetup(FadeSetup& setup) override;
  void RunProperties(const PropertyEntries& entries) override;
  void RunAbout(AboutBox& about) override;
  bool RunDeviceList(DeviceList& dialog) override;
};

// The user's default browser; a page that does not open is not reported.
class WxWebBrowser : public WebBrowser {
 public:
  void OpenPage(const std::string& url) override;
};

// Everything behind cmd::kAbout, owned by the application for as long as its shell runs.
// Outcomes of a support mail still being composed when it goes are dropped.
class AboutBoxService {
 public:
  // `ui` must outlive the service.
  explicit AboutBoxService(Ui& ui);
  ~AboutBoxService();
  AboutBoxService(const AboutBoxService&) = delete;
  AboutBoxService& operator=(const AboutBoxService&) = delete;

  CommandTarget& command() { return parts_.command(); }

 private:
  WxWebBrowser browser_;
  std::unique_ptr<MailClient> mail_;
  WxDialogWindows windows_;
  AboutParts parts_;
};

}  // namespace velmora
