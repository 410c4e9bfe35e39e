// Starts wx once for the window tests, with the program's own application object.

#include "GuiTestMain.h"

#include <gtest/gtest.h>
#include <wx/init.h>

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

}  // namespace velmora::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new velmora::test::WxEnvironment(argc, argv));
  return RUN_ALL_TESTS();
}
