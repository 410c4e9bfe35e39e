#pragma once
// What the metronome and tuning-tone window tests share: the program started in-process with
// scripted services, and the controls of the metronome dialog and the form driven by their
// events.

#include <sys/types.h>
#include <wx/window.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ShellFixture.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "seams/AudioBackend.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"

namespace velmora::test {

// Starts the shell with `audio` (null = the real sound system); false when it did not start.
bool StartProgram(std::unique_ptr<AudioBackend> audio, TempDir& dir, FakeUi*& ui);
void StopProgram();
// Runs the event loop, timers included, until `done` or `limit`; false on the limit.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

void ClickButton(wxWindow* button);
void Arrow(wxWindow* updown, int direction);
void MenuCommand(int id);
// The whole screen as NAME.png in VELMORA_SHOTS (nothing without it).
void SaveScreen(const std::string& name);

// parec recording the null sink's monitor into a raw file, mono at 44100 Hz in `format`
// ("s16le" or "u8"), stopped by its process id.
class MonitorRecording {
 public:
  MonitorRecording(const std::string& path, const std::string& format);
  ~MonitorRecording();
  MonitorRecording(const MonitorRecording&) = delete;
  MonitorRecording& operator=(const MonitorRecording&) = delete;
  bool started() const { return pid_ > 0; }
  std::size_t BytesSoFar() const;
  // Stops the recording and returns what it holds.
  std::vector<uint8_t> Stop();

 private:
  std::string path_;
  pid_t pid_ = -1;
};

}  // namespace velmora::test
