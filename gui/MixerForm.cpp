#include "MixerForm.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dnd.h>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/slider.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "DialogFields.h"
#include "MainFrame.h"
#include "Menus.h"
#include "MixStatusDlg.h"
#include "UpDownControl.h"
#include "Utf8Text.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "document/VelmoraDoc.h"
#include "io/Format.h"
#include "seams/ControlIds.h"
#include "seams/MasterVolume.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

constexpr int kStripStepDu = 67;  // channel strips repeat every 67 units to the right

int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

ScrollCode ToScrollCode(wxEventType type) {
  if (type == wxEVT_SCROLL_LINEUP) return ScrollCode::LineUp;
  if (type == wxEVT_SCROLL_LINEDOWN) return ScrollCode::LineDown;
  if (type == wxEVT_SCROLL_PAGEUP) return ScrollCode::PageUp;
  if (type == wxEVT_SCROLL_PAGEDOWN) return ScrollCode::PageDown;
  if (type == wxEVT_SCROLL_THUMBTRACK) return ScrollCode::ThumbTrack;
  if (type == wxEVT_SCROLL_THUMBRELEASE) return ScrollCode::ThumbPosition;
  if (type == wxEVT_SCROLL_TOP) return ScrollCode::Top;
  if (type == wxEVT_SCROLL_BOTTOM) return ScrollCode::Bottom;
  return ScrollCode::EndScroll;  // wxEVT_SCROLL_CHANGED
}

// A vertical slider whose top is the loud end (levels, master volume) fills from the bottom, as
// a level does, only when the toolkit runs it upside down: its own value is then the mirror of
// the position the panel means. (Sliders that draw no fill mirror back in the library itself,
// so the thumb stands where the template puts it on every toolkit.)
constexpr long kFillFromBottom = wxSL_INVERSE;

const wxEventTypeTag<wxScrollEvent> kScrollEvents[] = {
    wxEVT_SCROLL_LINEUP,   wxEVT_SCROLL_LINEDOWN,   wxEVT_SCROLL_PAGEUP,
    wxEVT_SCROLL_PAGEDOWN, wxEVT_SCROLL_THUMBTRACK, wxEVT_SCROLL_THUMBRELEASE,
    wxEVT_SCROLL_TOP,      wxEVT_SCROLL_BOTTOM,     wxEVT_SCROLL_CHANGED};

// Files dropped anywhere on the form, in the order the system gives them.
class FormDropTarget : public wxFileDropTarget {
 public:
  explicit FormDropTarget(MixerPanel& panel) : panel_(panel) {}
  bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const wxString& name : names) paths.push_back(name.utf8_string());
    panel_.OnFilesDropped(paths);
    return true;
  }

 private:
  MixerPanel& panel_;
};

}  // namespace

// ---- Layout ----

// Creates the controls, then places them from the template's dialog units. Where a native
// control needs more room than its rectangle (GTK edits and buttons are taller and wider than
// the platform the template was drawn for), the whole form grows by one factor per direction,
// so the arrangement and proportions stay those of the template.
class MixerForm::Builder {
 public:
  Builder(wxWindow* form, DialogBaseUnits base)
      : form_(form), pxX_(base.x / 4.0), pxY_(base.y / 8.0) {}

  // A control with its template rectangle.
  template <typename T>
  T* Add(T* window, int x, int y, int w, int h) {
    items_.push_back({window, x, y, w, h, false});
    return window;
  }
  // A slider: across its track it takes no more than it needs, centred in its rectangle, so
  // that the labels beside it keep their distance.
  wxSlider* Slider(wxSlider* slider, int x, int y, int w, int h) {
    items_.push_back({slider, x, y, w, h, false, true});
    return slider;
  }
  // A label: placed at its template point with the size of its text.
  wxStaticText* Label(const char* text, int x, int y) {
    auto* label = new wxStaticText(form_, wxID_ANY, U(text));
    items_.push_back({label, x, y, 0, 0, true});
    return label;
  }
  // The room `window` needs for `sample` text; the form grows until its rectangle holds it.
  void Need(wxWindow* window, const wxSize& need) {
    for (const Item& item : items_) {
      if (item.window != window) continue;
      growX_ = std::max(growX_, need.x / (item.w * pxX_));
      growY_ = std::max(growY_, need.y / (item.h * pxY_));
    }
  }

  wxSize Place() {
    for (const Item& item : items_) {
      const wxPoint at(X(item.x), Y(item.y));
      wxRect r(at, wxSize(X(item.x + item.w) - at.x, Y(item.y + item.h) - at.y));
      if (item.label) {
        r.SetSize(item.window->GetBestSize());
      } else if (item.slider) {
        const wxSize best = item.window->GetBestSize();
        if (item.window->HasFlag(wxSL_VERTICAL)) {
          const int width = std::min(r.width, best.x);
          r = wxRect(r.x + (r.width - width) / 2, r.y, width, r.height);
        } else {
          const int height = std::min(r.height, best.y);
          r = wxRect(r.x, r.y + (r.height - height) / 2, r.width, height);
        }
      }
      item.window->SetSize(r);
    }
    return wxSize(X(CVelmoraView::kFormWidthDu), Y(CVelmoraView::kFormHeightDu));
  }

  int X(int du) const { return static_cast<int>(std::lround(du * pxX_ * growX_)); }
  int Y(int du) const { return static_cast<int>(std::lround(du * pxY_ * growY_)); }

 private:
  struct Item {
    wxWindow* window;
    int x, y, w, h;
    bool label;
    bool slider = false;
  };
  wxWindow* form_;
  double pxX_;
  double pxY_;
  double growX_ = 1.0;
  double growY_ = 1.0;
  std::vector<Item> items_;
};

MixerForm::MixerForm(CVelmoraView& view) : view_(view), window_(view.form()), form_(view.form()) {
  wxWindow* f = window_;
  Builder b(f, view.baseUnits());

  // Group boxes first, so that the controls inside draw over them.
  b.Add(new wxStaticBox(f, wxID_ANY, U("再生位置")), 7, 7, 339, 30);
  const int frameX[4] = {7, 74, 141, 208};
  const int frameW[4] = {67, 66, 66, 66};
  for (int i = 0; i < 4; ++i) {
    channelFrames_[i] = b.Add(new wxStaticBox(f, ctl::kChannelFrame[i], Format("Ch%d", i + 1)),
                              frameX[i], 39, frameW[i], 196);
  }
  b.Add(new wxStaticBox(f, wxID_ANY, wxString()), 275, 75, 71, 160);

  b.Slider(new wxSlider(f, ctl::kPositionSlider, 0, 0, 1), 10, 16, 286, 18);
  auto* time = b.Add(new wxTextCtrl(f, ctl::kPositionTime, "00:00.000", wxDefaultPosition,
                                    wxDefaultSize, wxTE_READONLY),
                     299, 18, 40, 12);

  std::vector<wxTextCtrl*> offsets;
  for (int i = 0; i < 4; ++i) {
    const int dx = kStripStepDu * i;
    b.Add(new wxCheckBox(f, ctl::kChannelCheck[i], wxString()), 26 + dx, 39, 8, 8);
    b.Label("ﾚﾍﾞﾙ", 16 + dx, 52);
    b.Slider(
         new wxSlider(f, ctl::kLevel[i], kLevelMax - kDefaultLevel, 0, kLevelMax, wxDefaultPosition,
                      wxDefaultSize, wxSL_VERTICAL | wxSL_AUTOTICKS | wxSL_BOTH | kFillFromBottom),
         25 + dx, 61, 22, 99)
        ->SetTickFreq(10);
    b.Label("Max", 48 + dx, 65);
    b.Label("Min", 48 + dx, 148);
    b.Label("ﾊﾞﾗﾝｽ", 16 + dx, 161);
    b.Slider(new wxSlider(f, ctl::kBalance[i], kBalanceCentre, 0, kBalanceMax, wxDefaultPosition,
                          wxDefaultSize, wxSL_HORIZONTAL | wxSL_AUTOTICKS | wxSL_BOTTOM),
             13 + dx, 172, 54, 19)
        ->SetTickFreq(10);
    b.Label("L", 19 + dx, 190);
    b.Label("R", 57 + dx, 190);
    b.Label("ｵﾌｾｯﾄ", 16 + dx, 203);
    offsets.push_back(b.Add(new wxTextCtrl(f, ctl::kOffsetEdit[i], "0.000"), 14 + dx, 214, 34, 12));
    b.Add(new UpDownControl(f, ctl::kOffsetSpin[i], wxDefaultPosition, wxDefaultSize), 48 + dx, 214,
          9, 12);
    b.Label("秒", 60 + dx, 218);
  }

  auto* tuning = b.Add(new wxButton(f, ctl::kTuningButton, U("440Hz再生")), 276, 40, 60, 14);
  b.Add(new UpDownControl(f, ctl::kTuningSpin, wxDefaultPosition, wxDefaultSize), 336, 40, 10, 14);
  auto* makeMix = b.Add(new wxButton(f, ctl::kMakeMix, U("再生音作成")), 276, 54, 69, 23);
  b.Add(new wxGauge(f, ctl::kMeterLeft, 100, wxDefaultPosition, wxDefaultSize,
                    wxGA_VERTICAL | wxGA_SMOOTH),
        283, 86, 8, 130);
  b.Add(new wxGauge(f, ctl::kMeterRight, 100, wxDefaultPosition, wxDefaultSize,
                    wxGA_VERTICAL | wxGA_SMOOTH),
        294, 86, 8, 130);
  b.Label("L", 283, 219);
  b.Label("R", 294, 219);
  b.Slider(new wxSlider(f, ctl::kMasterVolume, 100, 0, 100, wxDefaultPosition, wxDefaultSize,
                        wxSL_VERTICAL | wxSL_AUTOTICKS | wxSL_BOTH | kFillFromBottom),
           307, 87, 22, 126)
      ->SetTickFreq(10);
  b.Label("Max", 329, 91);
  b.Label("Min", 329, 200);
  b.Label("ﾎﾞﾘｭｰﾑ", 312, 219);

  // The widest texts these controls show, with a little room for the caret.
  const auto textNeed = [](wxTextCtrl* edit, const char* sample) {
    wxSize need = edit->GetSizeFromTextSize(edit->GetTextExtent(U(sample)).x);
    need.x += 4;
    need.y = std::max(need.y, edit->GetBestSize().y);
    return need;
  };
  for (wxTextCtrl* edit : offsets) b.Need(edit, textNeed(edit, "3600.000"));
  b.Need(time, textNeed(time, "00:00.000"));
  const auto buttonNeed = [](wxButton* button, const char* widest) {
    const wxString caption = button->GetLabel();
    button->SetLabel(U(widest));
    const wxSize need = button->GetBestSize();
    button->SetLabel(caption);
    return need;
  };
  b.Need(tuning, buttonNeed(tuning, "22050Hz停止"));
  b.Need(makeMix, buttonNeed(makeMix, "再生音作成中"));
  size_ = b.Place();

  if (size_ != f->GetSize()) view.FitFrameToForm(size_);
}

void MixerForm::Attach(MixerPanel* panel, CorrectionList* corrections) {
  if (corrections_ != nullptr) corrections_->Attach(nullptr);
  panel_ = panel;
  corrections_ = corrections;
  if (panel_ == nullptr || corrections_ == nullptr) return;
  panel_->SetChannelFrames(ChannelFrameRects());
  if (dialog_ == nullptr) {
    dialog_ = new CMixStatusDlg(window_, *corrections_);
    BindEvents();
    window_->SetDropTarget(new FormDropTarget(*panel_));
  }
  corrections_->Attach(dialog_);
}

MixerForm::~MixerForm() {
  // The form and the dialog (its child) are gone with the view's window by now.
  if (corrections_ != nullptr) corrections_->Attach(nullptr);
}

std::array<PanelRect, 4> MixerForm::ChannelFrameRects() const {
  std::array<PanelRect, 4> rects;
  for (int i = 0; i < 4; ++i) {
    const wxRect r = channelFrames_[i]->GetRect();
    rects[i] = {r.x, r.y, r.width, r.height};
  }
  return rects;
}

void MixerForm::BindEvents() {
  std::vector<int> sliders = {ctl::kPositionSlider, ctl::kMasterVolume};
  sliders.insert(sliders.end(), std::begin(ctl::kLevel), std::end(ctl::kLevel));
  sliders.insert(sliders.end(), std::begin(ctl::kBalance), std::end(ctl::kBalance));
  for (int id : sliders) {
    wxWindow* slider = wxWindow::FindWindowById(id, window_);
    for (const auto& type : kScrollEvents) {
      slider->Bind(type, [this, id](wxScrollEvent& event) {
        panel_->OnScroll(id, ToScrollCode(event.GetEventType()));
      });
    }
  }

  for (int i = 0; i < 4; ++i) {
    const int editId = ctl::kOffsetEdit[i];
    ReadFieldAsTyped(
        *wxWindow::FindWindowById(editId, window_),
        [this, editId] { panel_->OnOffsetTextChanged(editId); },
        [this, editId] { panel_->OnOffsetFocusLost(editId); });

    const int spinId = ctl::kOffsetSpin[i];
    wxWindow* spin = wxWindow::FindWindowById(spinId, window_);
    spin->Bind(wxEVT_SPIN_UP,
               [this, spinId](wxSpinEvent&) { panel_->OnOffsetSpinArrow(spinId, +1, SteadyMs()); });
    spin->Bind(wxEVT_SPIN_DOWN,
               [this, spinId](wxSpinEvent&) { panel_->OnOffsetSpinArrow(spinId, -1, SteadyMs()); });
    spin->Bind(EVT_UPDOWN_RELEASED,
               [this, spinId](wxSpinEvent&) { panel_->OnOffsetSpinReleased(spinId); });
  }

  wxWindow::FindWindowById(ctl::kMakeMix, window_)->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    panel_->MakeMix();
  });

  // A right click anywhere on a channel's strip, on its frame, labels or controls alike, opens
  // the channel's menu; elsewhere a control keeps its own.
  window_->Bind(wxEVT_RIGHT_DOWN, &MixerForm::OnRightDown, this);
  for (wxWindow* child : window_->GetChildren()) {
    if (!child->IsTopLevel()) child->Bind(wxEVT_RIGHT_DOWN, &MixerForm::OnRightDown, this);
  }
}

void MixerForm::FocusFirstControl() {
  if (wxWindow* control = wxWindow::FindWindowById(panel_->InitialFocusControl(), window_)) {
    control->SetFocus();
  }
}

void MixerForm::OnRightDown(wxMouseEvent& event) {
  auto* source = static_cast<wxWindow*>(event.GetEventObject());
  const wxPoint at = window_->ScreenToClient(source->ClientToScreen(event.GetPosition()));
  const std::vector<ChannelMenuEntry> entries = panel_->ContextMenuAt(at.x, at.y);
  if (entries.empty()) {
    event.Skip();
    return;
  }
  wxMenu menu;
  for (const ChannelMenuEntry& entry : entries) {
    if (entry.command == 0) {
      menu.AppendSeparator();
    } else {
      menu.Append(ToWxId(entry.command), U(entry.label));
    }
  }
  // Commands from the menu go up to the frame and take the normal route.
  const bool shown = showMenu ? showMenu(menu, at) : window_->PopupMenu(&menu, at);
  if (!shown) wxBell();
}

}  // namespace velmora
