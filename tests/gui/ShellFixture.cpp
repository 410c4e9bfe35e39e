#include "ShellFixture.h"

#include <wx/app.h>

#include <memory>
#include <thread>

#include "GuiTestMain.h"
#include "MainFrame.h"
#include "Menus.h"
#include "support/MemoryServices.h"
#include "support/NoPowerEvents.h"

namespace velmora::test {

wxString U(const char* utf8) {
  return wxString::FromUTF8(utf8);
}

void Pump() {
  for (int i = 0; i < 3; ++i) {
    wxTheApp->ProcessPendingEvents();
    wxYield();
  }
}

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
              std::chrono::milliseconds poll) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    wxTheApp->Yield(true);
    std::this_thread::sleep_for(poll);
  }
  return true;
}

void Send(int id) {
  wxCommandEvent event(wxEVT_MENU, ToWxId(id));
  event.SetEventObject(TheApp().frame());
  TheApp().frame()->GetEventHandler()->ProcessEvent(event);
}

ShellServices FakeServices(TempDir& dir, FakeUi*& ui, int32_t volume) {
  ShellServices services;
  auto fakeUi = std::make_unique<FakeUi>();
  ui = fakeUi.get();
  services.ui = std::move(fakeUi);
  services.settings = std::make_unique<MemorySettings>();
  services.masterVolume = std::make_unique<FakeVolume>(0, 65535, volume);
  services.powerEvents = std::make_unique<NoPowerEvents>();
  services.profileFile = dir.File("profile.ini");
  return services;
}

void CloseShell() {
  if (TheApp().frame() == nullptr) return;
  TheApp().frame()->Close(true);
  Pump();
  TheApp().DeletePendingWindows();
  TheApp().FinishShell();
}

void ShellTest::SetUp() {
  if (!WxReady()) GTEST_SKIP() << "no X display (DISPLAY is unset)";
  ShellServices services = FakeServices(dir_, ui_);
  AdjustServices(services);
  ASSERT_TRUE(TheApp().StartShell(std::move(services), {}));
  Pump();
}

void ShellTest::TearDown() {
  if (WxReady()) CloseShell();
}

}  // namespace velmora::test
