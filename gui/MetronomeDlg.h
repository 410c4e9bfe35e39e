#pragma once
// CMetronomeDlg: the modeless metronome "メトロノーム" (template 176) and its beat display window
// (template 161, borderless, at the top left of the work area). Thin: the studio makes core's
// Metronome on the dialog's seams (its Form, its own timers for timer::kMetronome, the beat
// display); every control hands its event to it. Closing (the close box, Escape or Enter) only
// hides the dialog, keeping its settings. User-interface thread only.

#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/weakref.h>

#include <string>

#include "WxForm.h"
#include "WxTimers.h"
#include "metronome/Metronome.h"
#include "seams/BeatDisplay.h"
#include "seams/CommandTarget.h"

namespace velmora {

struct MetronomeSeams;

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
  // Created once by the view, hidden, at the top right of the work area; `owner` is the main
  // frame. Its controls answer once Attach has given it the metronome.
  explicit CMetronomeDlg(wxWindow* owner);
  ~CMetronomeDlg() override;

  // What the metronome is made on; the dialog keeps them while it lives.
  MetronomeSeams seams();
  // The metronome made on seams(), which must outlive the dialog or be detached with nullptr.
  void Attach(Metronome* metronome);

  // cmd::kMetronome shows the dialog (always enabled).
  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override;

  // The view is going: the display goes before the window is destroyed.
  void Shutdown();

  Metronome& metronome() { return *metronome_; }
  BeatDisplayWindow* beatDisplay() const { return beatDisplay_; }

 private:
  int DisplayBase() const;
  void BuildControls();
  void BindEvents();
  void Call(void (Metronome::*handler)());
  void PlaceAtTopRight();
  void OnCharHook(wxKeyEvent& event);
  void OnCloseWindow(wxCloseEvent& event);
  void CloseDialog();

  WxForm form_;
  WxTimers timers_;
  BeatDisplayWindow* beatDisplay_ = nullptr;
  bool shownOnce_ = false;
  Metronome* metronome_ = nullptr;
};

}  // namespace velmora
