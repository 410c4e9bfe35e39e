// Starts wx once for the window tests, with the program's own application object.

#include "GuiTestMain.h"

#include <gtest/gtest.h>
#include <wx/bitmap.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <cstdlib>

#include "VelmoraApp.h"

namespace velmora::test {

namespace {

bool wxReady = false;

class WxEnvironment : public ::testing::Environment {
 public:
  WxEnvironment(int& argc, char** argv) : argc_(argc), argv_(argv) {}
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) return;
    wxApp::SetInstance(new CVelmoraApp);
    wxReady = wxEntryStart(argc_, argv_);
    if (wxReady) wxTheApp->SetExitOnFrameDelete(false);
  }
  void TearDown() override {
    if (wxReady) wxEntryCleanup();
  }

 private:
  int& argc_;
  char** argv_;
};

}  // namespace

bool WxReady() {
  return wxReady;
}

void SaveScreenshot(wxWindow& window, const std::string& name) {
  const char* folder = std::getenv("VELMORA_SHOTS");
  if (folder == nullptr || *folder == '\0') return;
  // The X server draws asynchronously: give the window time to paint. Only when screenshots
  // are asked for; the tests themselves never wait on the clock.
  for (int i = 0; i < 10; ++i) {
    window.Refresh();
    window.Update();
    wxYield();
    wxMilliSleep(30);
  }
  const wxSize size = window.GetSize();
  wxBitmap shot(size);
  wxMemoryDC memory(shot);
  wxWindowDC source(&window);
  memory.Blit(0, 0, size.x, size.y, &source, 0, 0);
  memory.SelectObject(wxNullBitmap);
  wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
  shot.SaveFile(wxString::FromUTF8(folder) + "/" + wxString::FromUTF8(name) + ".png",
                wxBITMAP_TYPE_PNG);
}

}  // namespace velmora::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new velmora::test::WxEnvironment(argc, argv));
  return RUN_ALL_TESTS();
}
