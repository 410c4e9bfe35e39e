#include "WxDialogWindows.h"

#include <wx/app.h>
#include <wx/log.h>
#include <wx/utils.h>

#include "AppAbout2.h"
#include "DeviceListDlg.h"
#include "FadeinSetupDlg.h"
#include "PropertyDlg.h"
#include "VelmoraApp.h"
#include "shell/XdgMailClient.h"

namespace velmora {

namespace {

wxWindow* Owner() {
  return wxTheApp != nullptr ? wxTheApp->GetTopWindow() : nullptr;
}

}  // namespace

bool WxDialogWindows::RunFadeSetup(FadeSetup& setup) {
  CFadeinSetupDlg dialog(Owner(), setup, TheApp().ui());
  return dialog.ShowModal() == wxID_OK;
}

void WxDialogWindows::RunProperties(const PropertyEntries& entries) {
  CPropertyDlg dialog(Owner(), entries);
  dialog.ShowModal();
}

void WxDialogWindows::RunAbout(AboutBox& about) {
  CAppAbout2 dialog(Owner(), about);
  dialog.ShowModal();
}

bool WxDialogWindows::RunDeviceList(DeviceList& dialog) {
  CDeviceListDlg window(Owner(), dialog);
  return window.ShowModal() == wxID_OK;
}

void WxWebBrowser::OpenPage(const std::string& url) {
  const wxLogNull quiet;  // the library would report the failure in a box of its own
  wxLaunchDefaultBrowser(wxString::FromUTF8(url.c_str()));
}

AboutBoxService::AboutBoxService(Ui& ui)
    : mail_(std::make_unique<XdgMailClient>(
          [](const std::function<void()>& task) { wxTheApp->CallAfter(task); })),
      parts_(ui, browser_, *mail_, windows_) {}

AboutBoxService::~AboutBoxService() = default;

}  // namespace velmora
