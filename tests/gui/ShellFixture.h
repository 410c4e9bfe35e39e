#pragma once
// What the window tests share to run the real program in-process: the shell's services built from
// fakes, an event pump, menu commands, control look-up and the shell's teardown. Main thread only.

#include <gtest/gtest.h>
#include <wx/string.h>
#include <wx/window.h>

#include <chrono>
#include <cstdint>
#include <functional>

#include "VelmoraApp.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"

namespace velmora::test {

// UTF-8 text as the toolkit's string.
wxString U(const char* utf8);

// The control `id` under `parent` as a T, or null when there is none or it is not a T.
template <typename T>
T* Find(wxWindow& parent, int id) {
  return dynamic_cast<T*>(parent.FindWindow(id));
}

// Processes what is queued (CallAfter included) a few times.
void Pump();

// Runs the event loop, timers included, until `done` or `limit`, sleeping `poll` between its
// turns (a shorter poll serves timers more closely, at more processor time); false on the limit.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
              std::chrono::milliseconds poll);

// The menu command `id`, as the frame receives it from its menu. Does not pump.
void Send(int id);

// Services of fakes: a FakeUi (stored in `ui`, owned by the services), in-memory settings, a
// master volume of 0..65535 at `volume`, no suspend watcher, no audio backend (the real sound
// system) and the profile file in `dir`. A test replaces any of them before starting the shell.
ShellServices FakeServices(TempDir& dir, FakeUi*& ui, int32_t volume = 50000);

// Closes the frame, lets its windows go and finishes the shell; nothing when no frame is open.
void CloseShell();

// A fixture that starts the shell on FakeServices before each test (skipping it without a
// display) and closes it after. A test class changes the services in AdjustServices; its own
// SetUp calls this one first and returns when it skipped or failed.
class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Called with the services just before the shell starts them.
  virtual void AdjustServices(ShellServices& /*services*/) {}

  TempDir dir_;
  FakeUi* ui_ = nullptr;  // owned by the shell
};

}  // namespace velmora::test
