// Starts wx once for the window tests, with the program's own application object.

#include "GuiTestMain.h"

#include <gtest/gtest.h>
#include <wx/bitmap.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/debug.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <cstdlib>

#include "VelmoraApp.h"

namespace velmora::test {

namespace {

bool wxReady = false;

void FailOnAssertion(const wxString& file, int line, const wxString& function,
                     const wxString& condition, const wxString& message) {
  ADD_FAILURE_AT(file.utf8_string().c_str(), line)
      << "wx assertion " << condition.utf8_string() << " in " << function.utf8_string() << ": "
      << message.utf8_string();
}

class WxEnvironment : public ::testing::Environment {
 public:
  WxEnvironment(int& argc, char** argv) : argc_(argc), argv_(argv) {}
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) return;
    wxApp::SetInstance(new CVelmoraApp);
    // Where the program keeps the library's assertions (a debug build), one fails the test that
    // made it rather than waiting on a dialog nobody answers.
    if (wxTheAssertHandler != nullptr) wxSetAssertHandler(FailOnAssertion);
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

namespace {

const char* ShotsFolder() {
  const char* folder = std::getenv("VELMORA_SHOTS");
  return folder != nullptr && *folder != '\0' ? folder : nullptr;
}

// The X server draws asynchronously: give the window time to paint. Only when screenshots are
// asked for; the tests themselves never wait on the clock.
void LetItPaint(wxWindow& window) {
  for (int i = 0; i < 10; ++i) {
    window.Refresh();
    window.Update();
    wxYield();
    wxMilliSleep(30);
  }
}

void Save(wxDC& source, const wxPoint& from, const wxSize& size, const char* folder,
          const std::string& name) {
  wxBitmap shot(size);
  wxMemoryDC memory(shot);
  memory.Blit(0, 0, size.x, size.y, &source, from.x, from.y);
  memory.SelectObject(wxNullBitmap);
  wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
  shot.SaveFile(wxString::FromUTF8(folder) + "/" + wxString::FromUTF8(name) + ".png",
                wxBITMAP_TYPE_PNG);
}

}  // namespace

void SaveScreenshot(wxWindow& window, const std::string& name) {
  const char* folder = ShotsFolder();
  if (folder == nullptr) return;
  LetItPaint(window);
  wxWindowDC source(&window);
  Save(source, wxPoint(0, 0), window.GetSize(), folder, name);
}

void SaveScreenshotOfFrame(wxWindow& frame, const std::string& name) {
  const char* folder = ShotsFolder();
  if (folder == nullptr) return;
  LetItPaint(frame);
  wxScreenDC source;
  Save(source, frame.GetScreenPosition(), frame.GetSize(), folder, name);
}

}  // namespace velmora::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new velmora::test::WxEnvironment(argc, argv));
  return RUN_ALL_TESTS();
}
