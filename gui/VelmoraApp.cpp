#include "VelmoraApp.h"

#include <wx/cmdline.h>
#include <wx/config.h>
#include <wx/filehistory.h>
#include <wx/fs_zip.h>
#include <wx/image.h>

#include "MainFrame.h"
#include "MixerForm.h"
#include "PortAudioBackend.h"
#include "VelmoraView.h"
#include "VelmoraWxDoc.h"
#include "WxDialogWindows.h"
#include "WxUi.h"
#include "app/Settings.h"
#include "shell/AlsaMasterVolume.h"
#include "shell/LogindPowerEvents.h"
#include "shell/WxConfigSettingsStore.h"

namespace velmora {

namespace {

// The framework's document manager with a recent-file list of four entries. The base class
// would make its list in its own constructor, before this override exists.
class CVelmoraDocManager : public wxDocManager {
 public:
  CVelmoraDocManager() : wxDocManager(0, false) { Initialize(); }
  wxFileHistory* OnCreateFileHistory() override { return new wxFileHistory(kRecentFileCount); }
};

}  // namespace

CVelmoraApp& TheApp() {
  return *static_cast<CVelmoraApp*>(wxApp::GetInstance());
}

CVelmoraApp::CVelmoraApp() {
  // A release build reports the program's own messages only, never the library's assertions.
  wxDISABLE_ASSERTS_IN_RELEASE_BUILD();
  SetAppName("Velmora");
  SetAppDisplayName("Velmora");
}

CVelmoraApp::~CVelmoraApp() = default;

void CVelmoraApp::OnInitCmdLine(wxCmdLineParser& parser) {
  wxApp::OnInitCmdLine(parser);
  parser.AddParam("WAV", wxCMD_LINE_VAL_STRING,
                  wxCMD_LINE_PARAM_OPTIONAL | wxCMD_LINE_PARAM_MULTIPLE);
}

bool CVelmoraApp::OnCmdLineParsed(wxCmdLineParser& parser) {
  for (size_t i = 0; i < parser.GetParamCount(); ++i) {
    startupFiles_.push_back(parser.GetParam(i).utf8_string());
  }
  return wxApp::OnCmdLineParsed(parser);
}

bool CVelmoraApp::OnInit() {
  if (!wxApp::OnInit()) return false;
  return StartShell(ShellServices{}, startupFiles_);
}

int CVelmoraApp::OnExit() {
  FinishShell();
  return wxApp::OnExit();
}

void CVelmoraApp::FillDefaultServices() {
  if (!services_.ui) services_.ui = std::make_unique<WxUi>();
  if (!services_.settings) services_.settings = std::make_unique<WxConfigSettingsStore>();
  if (!services_.masterVolume) services_.masterVolume = std::make_unique<AlsaMasterVolume>();
  if (!services_.powerEvents) services_.powerEvents = std::make_unique<LogindPowerEvents>();
  if (!services_.audio) services_.audio = std::make_unique<PortAudioBackend>();
  if (services_.profileFile.empty()) services_.profileFile = DefaultSettingsFile();
}

bool CVelmoraApp::StartShell(ShellServices services, const std::vector<std::string>& files) {
  services_ = std::move(services);
  FillDefaultServices();
  if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxInitAllImageHandlers();

  docManager_ = std::make_unique<CVelmoraDocManager>();
  docManager_->SetMaxDocsOpen(1);
  {
    const std::unique_ptr<wxConfigBase> profile = OpenProfile(services_.profileFile);
    docManager_->FileHistoryLoad(*profile);
  }
  new CVelmoraTemplate(docManager_.get());

  frame_ = new CMainFrame(docManager_.get());
  if (!frame_->CreateBars()) {
    frame_->Destroy();
    frame_ = nullptr;
    return false;
  }
  SetTopWindow(frame_);
  if (docManager_->CreateNewDocument() == nullptr) return false;

  CVelmoraWxDoc* doc = document();
  about_ = std::make_unique<AboutBoxService>(ui());
  router_.Add(RouteLevel::Application, &about_->command());

  frame_->Show();
  frame_->Update();
  view()->InitialUpdate();
  // After the view's first update, so that each file goes the way of Open, refresh and
  // modified flag alike.
  OpenStartupFiles(doc->core(), files);
  view()->mixer()->FocusFirstControl();
  WatchPowerEvents();
  return true;
}

void CVelmoraApp::WatchPowerEvents() {
  // The watcher's thread hands the stop to this thread; the suspend waits for the hold.
  services_.powerEvents->Start([this](std::shared_ptr<void> hold) {
    CallAfter([this, hold = std::move(hold)] {
      if (frame_ != nullptr) frame_->StopBeforeSuspend();
    });
  });
}

void CVelmoraApp::FinishShell() {
  services_.powerEvents.reset();
  if (about_) router_.Remove(&about_->command());
  about_.reset();
  if (docManager_) {
    docManager_->Clear(true);
    if (wxFileHistory* history = docManager_->GetFileHistory()) {
      const std::unique_ptr<wxConfigBase> profile = OpenProfile(services_.profileFile);
      history->Save(*profile);
      profile->Flush();
    }
    docManager_.reset();
  }
  services_ = ShellServices{};
}

CVelmoraWxDoc* CVelmoraApp::document() const {
  if (!docManager_ || docManager_->GetDocumentsVector().empty()) return nullptr;
  return static_cast<CVelmoraWxDoc*>(docManager_->GetDocumentsVector().front());
}

CVelmoraView* CVelmoraApp::view() const {
  CVelmoraWxDoc* doc = document();
  return doc != nullptr ? static_cast<CVelmoraView*>(doc->GetFirstView()) : nullptr;
}

}  // namespace velmora
