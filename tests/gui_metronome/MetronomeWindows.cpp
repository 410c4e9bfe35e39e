#include "MetronomeWindows.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/filename.h>
#include <wx/spinbutt.h>
#include <wx/wx.h>

#include <cstdlib>
#include <thread>

#include "MainFrame.h"

namespace velmora::test {

bool StartProgram(std::unique_ptr<AudioBackend> audio, TempDir& dir, FakeUi*& ui) {
  ShellServices services = FakeServices(dir, ui, 65535);
  services.audio = std::move(audio);
  if (!TheApp().StartShell(std::move(services), {}) || TheApp().view() == nullptr) return false;
  Pump();
  return true;
}

void StopProgram() {
  CloseShell();
}

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return RunUntil(done, limit, std::chrono::milliseconds(2));
}

void ClickButton(wxWindow* button) {
  wxCommandEvent click(wxEVT_BUTTON, button->GetId());
  click.SetEventObject(button);
  button->ProcessWindowEvent(click);
}

void Arrow(wxWindow* updown, int direction) {
  wxSpinEvent event(direction > 0 ? wxEVT_SPIN_UP : wxEVT_SPIN_DOWN, updown->GetId());
  event.SetEventObject(updown);
  updown->ProcessWindowEvent(event);
}

void MenuCommand(int id) {
  Send(id);
}

void SaveScreen(const std::string& name) {
  const char* folder = std::getenv("VELMORA_SHOTS");
  if (folder == nullptr || *folder == '\0') return;
  for (int i = 0; i < 10; ++i) {
    wxYield();
    wxMilliSleep(30);
  }
  wxScreenDC screen;
  const wxSize size = screen.GetSize();
  wxBitmap shot(size);
  wxMemoryDC memory(shot);
  memory.Blit(0, 0, size.x, size.y, &screen, 0, 0);
  memory.SelectObject(wxNullBitmap);
  wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
  shot.SaveFile(wxString::FromUTF8(folder) + "/" + wxString::FromUTF8(name) + ".png",
                wxBITMAP_TYPE_PNG);
}

MonitorRecording::MonitorRecording(const std::string& path, const std::string& format)
    : path_(path) {
  const std::string formatArg = "--format=" + format;
  pid_ = fork();
  if (pid_ == 0) {
    execlp("parec", "parec", "-d", "test.monitor", formatArg.c_str(), "--rate=44100",
           "--channels=1", "--raw", "--file-format=raw", path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
}

MonitorRecording::~MonitorRecording() {
  Stop();
}

std::size_t MonitorRecording::BytesSoFar() const {
  struct stat info {};
  return stat(path_.c_str(), &info) == 0 ? static_cast<std::size_t>(info.st_size) : 0;
}

std::vector<uint8_t> MonitorRecording::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGINT);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  return ReadBytes(path_);
}

}  // namespace velmora::test
