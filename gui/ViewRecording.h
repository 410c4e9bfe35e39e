#pragma once
// The view's recording: the record device, the recorder (Record, timers 2 to 4), the recording
// settings command with its dialog, the countdown's number window, and the recovery files of the
// document's takes with the offer of left ones once the window shows. Plugs itself into the view
// as command, timer and update targets. User-interface thread only.

#include <wx/frame.h>

#include <memory>

#include "recorder/Recorder.h"
#include "seams/CommandTarget.h"

namespace velmora {

class CVelmoraView;
class RecordSetupCommand;
class RecoveryTakes;
class WaveDevice;
class WxRecordSetupWindow;

// The countdown's big number: a borderless window kept on top, light yellow with the seconds in
// dark blue, centred over the view on its first show.
class CountdownWnd : public wxFrame, public CountdownWindow {
 public:
  explicit CountdownWnd(wxWindow* view);
  void ShowNumber(int seconds) override;
  void Hide() override;
  int number() const { return number_; }

 private:
  void OnPaint(wxPaintEvent& event);

  wxWindow* view_;
  wxFont font_;
  int number_ = 0;
  bool placed_ = false;
};

class ViewRecording : public ViewUpdateTarget {
 public:
  explicit ViewRecording(CVelmoraView& view);
  ~ViewRecording() override;
  ViewRecording(const ViewRecording&) = delete;
  ViewRecording& operator=(const ViewRecording&) = delete;

  // The window is going: a running recording closes.
  void OnDestroy();
  void OnInitialUpdate() override;
  void OnUpdate(const DocumentNotice& notice) override;

  Recorder& recorder() { return *recorder_; }
  WaveDevice& recordDevice() { return *recordDevice_; }
  CountdownWnd* countdown() const { return countdown_; }

 private:
  CVelmoraView& view_;
  std::unique_ptr<WaveDevice> recordDevice_;
  CountdownWnd* countdown_ = nullptr;  // owned by the frame
  std::unique_ptr<RecoveryTakes> recovery_;
  std::unique_ptr<Recorder> recorder_;
  std::unique_ptr<WxRecordSetupWindow> setupWindow_;
  std::unique_ptr<RecordSetupCommand> setupCommand_;
};

}  // namespace velmora
