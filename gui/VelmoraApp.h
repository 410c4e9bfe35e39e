#pragma once
// CVelmoraApp: start-up, the single document template, the main frame, and the services the
// windows use (the Ui, the settings store, the master volume, the power events, the sound
// system). Commands that reach the application (New) are answered here.

#include <wx/app.h>
#include <wx/docview.h>

#include <memory>
#include <string>
#include <vector>

#include "app/CommandRouter.h"
#include "app/ShellCommands.h"
#include "seams/AudioBackend.h"
#include "seams/MasterVolume.h"
#include "seams/PowerEvents.h"
#include "seams/SettingsStore.h"
#include "seams/Ui.h"

namespace velmora {

class AboutBoxService;
class CMainFrame;
class CVelmoraView;
class CVelmoraWxDoc;

// What the shell takes from outside; tests give their own. Empty members get the real ones.
// They live from StartShell to FinishShell, longer than the frame, the document and the view.
struct ShellServices {
  std::unique_ptr<Ui> ui;
  std::unique_ptr<SettingsStore> settings;
  std::unique_ptr<MasterVolume> masterVolume;
  std::unique_ptr<PowerEvents> powerEvents;
  std::unique_ptr<AudioBackend> audio;  // the sound system every wave device plays through
  std::string profileFile;  // the framework's profile; empty = the default settings file
};

class CVelmoraApp : public wxApp {
 public:
  CVelmoraApp();
  ~CVelmoraApp() override;

  bool OnInit() override;
  int OnExit() override;
  void OnInitCmdLine(wxCmdLineParser& parser) override;
  bool OnCmdLineParsed(wxCmdLineParser& parser) override;

  // Start-up after the command line: profile, template, frame, document, showing the frame, the
  // view's first update, the named files, the first control's focus, the power events.
  bool StartShell(ShellServices services, const std::vector<std::string>& files);
  // After the frame has gone: saves the profile and drops the document manager and services.
  void FinishShell();

  Ui& ui() { return *services_.ui; }
  SettingsStore& settings() { return *services_.settings; }
  MasterVolume& masterVolume() { return *services_.masterVolume; }
  AudioBackend& audio() { return *services_.audio; }
  CommandRouter& router() { return router_; }
  wxDocManager* docManager() const { return docManager_.get(); }

  CMainFrame* frame() const { return frame_; }
  CVelmoraWxDoc* document() const;
  CVelmoraView* view() const;

  // The frame tells it when its window goes.
  void OnFrameDestroyed() { frame_ = nullptr; }
  // Deletes windows whose deletion was deferred (tests run no main loop).
  void DeletePendingWindows() { DeletePendingObjects(); }

 private:
  void FillDefaultServices();
  void WatchPowerEvents();

  ShellServices services_;
  CommandRouter router_;
  std::unique_ptr<wxDocManager> docManager_;
  std::unique_ptr<AboutBoxService> about_;
  CMainFrame* frame_ = nullptr;
  std::vector<std::string> startupFiles_;
};

// The one application object.
CVelmoraApp& TheApp();

}  // namespace velmora
