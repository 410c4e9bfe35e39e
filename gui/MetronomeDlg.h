#pragma once
// CMetronomeDlg: the modeless metronome "メトロノーム" (template 176) and its beat display window
// (template 161, borderless, at the top left of the work area). Thin: every control hands its
// event to core's Metronome, which drives the controls through a Form, the display through
// BeatDisplay and its own timer::kMetronome. Closing (the close box, Escape or Enter) only hides
// the dialog, keeping its settings. User-interface thread only.

#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/weakref.h>

#include <memory>
#include <string>

#include "WxForm.h"
#include "WxTimers.h"
#include "metronome/Metronome.h"
#include "seams/BeatDisplay.h"
#include "seams/CommandTarget.h"

namespace velmora {

class AudioBackend;
class Ui;

// The beat display: a borderless square that shows the beat's number on its colour.
class BeatDisplayWindow : public wxFrame, public BeatDisplay {
 public:
  explicit BeatDisplayWindow(wxWindow* owner);
  using wxFrame::Show;
  void Show(int side, const std::string& text, uint32_t background, int fontHeight) override;
  void Hide() override;

  const wxString& text() const { return text_; }
  wxColour background() const { return background_; }

 private:
  void OnPaint(wxPaintEvent& event);

  wxString text_;
  wxColour background_ = *wxWHITE;
  int fontHeight_ = 0;
};

class CMetronomeDlg : public wxDialog, public CommandTarget {
 public:
  // Created once by the view, hidden, at the top right of the work area. `owner` is the main
  // frame; `audio` and `ui` must outlive the dialog.
  CMetronomeDlg(wxWindow* owner, AudioBackend& audio, Ui& ui);
  ~CMetronomeDlg() override;

  // cmd::kMetronome shows the dialog (always enabled).
  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override;

  // The output device for the next start: kDefaultDevice (-1) or 0..3 (the device selection
  // tells the dialog's Metronome itself).
  void SetOutputDevice(int device) { metronome_->SetOutputDevice(device); }
  // The view is going: the clicks stop and the display goes, before the window is destroyed.
  void Shutdown();

  Metronome& metronome() { return *metronome_; }
  BeatDisplayWindow* beatDisplay() const { return beatDisplay_; }

 private:
  void BuildControls();
  void BindEvents();
  void PlaceAtTopRight();
  void OnCharHook(wxKeyEvent& event);
  void OnCloseWindow(wxCloseEvent& event);
  void CloseDialog();

  WxForm form_;
  WxTimers timers_;
  BeatDisplayWindow* beatDisplay_ = nullptr;
  bool shownOnce_ = false;
  std::unique_ptr<Metronome> metronome_;
};

}  // namespace velmora
