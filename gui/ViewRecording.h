#pragma once
// The view's recording windows; the recorder, its record device, its settings command and the
// recovery files are the studio's (core/app/Studio.h). User-interface thread only.

#include <wx/frame.h>

#include <memory>

#include "recorder/Recorder.h"
#include "seams/CommandTarget.h"

namespace velmora {

class CVelmoraView;
class RecordSetupWindow;
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

// The recording's windows: the countdown's number and the recording settings dialog, handed to
// the studio as seams; once the window shows, the offer of takes a crash left.
class ViewRecording : public ViewUpdateTarget {
 public:
  explicit ViewRecording(CVelmoraView& view);
  ~ViewRecording() override;
  ViewRecording(const ViewRecording&) = delete;
  ViewRecording& operator=(const ViewRecording&) = delete;

  void OnInitialUpdate() override;
  void OnUpdate(const DocumentNotice&) override {}

  CountdownWnd& countdownWindow() { return *countdown_; }
  RecordSetupWindow& setupWindow();
  Recorder& recorder();
  WaveDevice& recordDevice();
  CountdownWnd* countdown() const { return countdown_; }

 private:
  CVelmoraView& view_;
  CountdownWnd* countdown_ = nullptr;  // owned by the frame
  std::unique_ptr<WxRecordSetupWindow> setupWindow_;
};

}  // namespace velmora
