// Starts wx once for the window tests, with the program's own application object.

#include "GuiTestMain.h"

#include <gtest/gtest.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/filename.h>
#include <wx/init.h>
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
  window.Update();
  for (int i = 0; i < 3; ++i) wxYield();
  const wxRect rect = window.GetScreenRect();
  wxBitmap shot(rect.GetSize());
  wxMemoryDC memory(shot);
  wxScreenDC screen;
  memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
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
