#include "MetronomeDlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcbuffer.h>
#include <wx/display.h>
#include <wx/gdicmn.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "DialogFields.h"
#include "UiFont.h"
#include "UpDownControl.h"
#include "Utf8Text.h"
#include "app/Studio.h"
#include "seams/CommandIds.h"

namespace velmora {

namespace {

constexpr int kDialogFontPoints = 9;
// Templates 176 and 161, in dialog units.
constexpr int kDialogWidthDu = 139;
constexpr int kDialogHeightDu = 118;
constexpr int kDisplayWidthDu = 151;
constexpr int kDisplayHeightDu = 91;

wxColour FromRgb(uint32_t rgb) {
  return wxColour((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace

// ---- BeatDisplayWindow ----

BeatDisplayWindow::BeatDisplayWindow(wxWindow* owner)
    : wxFrame(owner, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
              wxBORDER_NONE | wxFRAME_NO_TASKBAR | wxFRAME_FLOAT_ON_PARENT | wxSTAY_ON_TOP,
              "dialog161") {
  SetFont(UiFont(8));
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &BeatDisplayWindow::OnPaint, this);
}

void BeatDisplayWindow::Show(int side, const std::string& text, uint32_t background,
                             int fontHeight) {
  text_ = wxString::FromUTF8(text);
  background_ = FromRgb(background);
  fontHeight_ = fontHeight;
  SetSize(wxSize(side, side));
  if (!IsShown()) ShowWithoutActivating();
  Refresh();
  Update();
}

void BeatDisplayWindow::Hide() {
  wxFrame::Show(false);
}

void BeatDisplayWindow::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(wxBrush(background_));
  dc.Clear();
  if (fontHeight_ <= 0) return;
  wxFont font = UiFont(8);
  font.SetPixelSize(wxSize(0, fontHeight_));
  dc.SetFont(font);
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.SetTextForeground(wxColour(0, 0, 128));
  const wxSize extent = dc.GetTextExtent(text_);
  const wxSize client = GetClientSize();
  dc.DrawText(text_, (client.x - extent.x) / 2, (client.y - extent.y) / 2);
}

// ---- CMetronomeDlg ----

CMetronomeDlg::CMetronomeDlg(wxWindow* owner)
    : wxDialog(owner, wxID_ANY, U("メトロノーム"), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX, "dialog176"),
      form_(this),
      timers_([this](int id) {
        if (metronome_ != nullptr) metronome_->OnTimer(id);
      }) {
  SetFont(UiFont(kDialogFontPoints));
  BuildControls();
  beatDisplay_ = new BeatDisplayWindow(this);
  // The display starts as template 161 makes it, at the work area's top-left corner.
  const wxRect work = wxGetClientDisplayRect();
  const int side = DisplayBase();
  beatDisplay_->SetSize(work.x, work.y, side, side);
  BindEvents();
  PlaceAtTopRight();
}

CMetronomeDlg::~CMetronomeDlg() {
  Shutdown();
}

int CMetronomeDlg::DisplayBase() const {
  return ConvertDialogToPixels(wxSize(kDisplayWidthDu, kDisplayHeightDu)).y;
}

MetronomeSeams CMetronomeDlg::seams() {
  return MetronomeSeams{form_, timers_, *beatDisplay_, DisplayBase(),
                        wxGetClientDisplayRect().height};
}

void CMetronomeDlg::Attach(Metronome* metronome) {
  metronome_ = metronome;
}

void CMetronomeDlg::Shutdown() {
  metronome_ = nullptr;
  if (beatDisplay_ != nullptr) {
    beatDisplay_->Destroy();
    beatDisplay_ = nullptr;
  }
}

void CMetronomeDlg::BuildControls() {
  const int gap = FromDIP(6);
  auto* volume = new wxSlider(this, metctl::kVolume, 20, 0, 20, wxDefaultPosition, wxDefaultSize,
                              wxSL_VERTICAL | wxSL_AUTOTICKS | wxSL_BOTH);
  volume->SetTickFreq(1);
  auto* volumeColumn = new wxBoxSizer(wxVERTICAL);
  volumeColumn->Add(new wxStaticText(this, wxID_ANY, "Max"), wxSizerFlags().Centre());
  volumeColumn->Add(volume, wxSizerFlags(1).Centre());
  volumeColumn->Add(new wxStaticText(this, wxID_ANY, "Min"), wxSizerFlags().Centre());
  volumeColumn->Add(new wxStaticText(this, wxID_ANY, U("ﾎﾞﾘｭｰﾑ")),
                    wxSizerFlags().Centre().Border(wxTOP, gap / 2));

  auto* fields = new wxFlexGridSizer(3, gap / 2, gap);
  const auto addEntry = [&](const char* label, int editId, int spinId) {
    fields->Add(new wxStaticText(this, wxID_ANY, U(label)), wxSizerFlags().CentreVertical());
    auto* edit =
        new wxTextCtrl(this, editId, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxTE_RIGHT);
    edit->SetInitialSize(edit->GetSizeFromTextSize(edit->GetTextExtent("0000").x));
    fields->Add(edit, wxSizerFlags().CentreVertical());
    fields->Add(new UpDownControl(this, spinId, wxDefaultPosition, wxDefaultSize),
                wxSizerFlags().CentreVertical());
  };
  addEntry("ピッチ", metctl::kTempoEdit, metctl::kTempoSpin);
  addEntry("ビート", metctl::kBeatsEdit, metctl::kBeatsSpin);

  auto* sizeRow = new wxBoxSizer(wxHORIZONTAL);
  sizeRow->Add(new wxStaticText(this, metctl::kDisplaySizeLabel, U("表示サイズ")),
               wxSizerFlags().CentreVertical().Border(wxRIGHT, gap));
  sizeRow->Add(new UpDownControl(this, metctl::kDisplaySize, wxDefaultPosition, wxDefaultSize),
               wxSizerFlags().CentreVertical());

  auto* right = new wxBoxSizer(wxVERTICAL);
  right->Add(fields);
  right->Add(new wxCheckBox(this, metctl::kChime, U("チャイム")),
             wxSizerFlags().Border(wxTOP, gap));
  right->Add(sizeRow, wxSizerFlags().Border(wxTOP, gap));
  right->AddStretchSpacer();
  right->Add(new wxButton(this, metctl::kStartStop, U(msg::kStartCaption)),
             wxSizerFlags().Expand().Border(wxTOP, gap));

  auto* top = new wxBoxSizer(wxHORIZONTAL);
  top->Add(volumeColumn, wxSizerFlags().Expand().Border(wxALL, gap));
  top->Add(right, wxSizerFlags(1).Expand().Border(wxTOP | wxRIGHT | wxBOTTOM, gap));
  // At least the template's 139 x 118 dialog units; more where the toolkit's controls need it.
  top->SetMinSize(ConvertDialogToPixels(wxSize(kDialogWidthDu, kDialogHeightDu)));
  SetSizerAndFit(top);
}

void CMetronomeDlg::Call(void (Metronome::*handler)()) {
  if (metronome_ != nullptr) (metronome_->*handler)();
}

void CMetronomeDlg::BindEvents() {
  // Each control calls the metronome it has then; before Attach and after Shutdown, none.
  const auto bind = [this](int id, const wxEventTypeTag<wxCommandEvent>& type,
                           void (Metronome::*handler)()) {
    FindWindow(id)->Bind(type, [this, handler](wxCommandEvent&) { Call(handler); });
  };
  const auto bindArrows = [this](int id, void (Metronome::*arrow)(int)) {
    wxWindow* spin = FindWindow(id);
    for (const int step : {+1, -1}) {
      spin->Bind(step > 0 ? wxEVT_SPIN_UP : wxEVT_SPIN_DOWN, [this, arrow, step](wxSpinEvent&) {
        if (metronome_ != nullptr) (metronome_->*arrow)(step);
      });
    }
  };
  bindArrows(metctl::kTempoSpin, &Metronome::OnTempoArrow);
  bindArrows(metctl::kBeatsSpin, &Metronome::OnBeatsArrow);
  bindArrows(metctl::kDisplaySize, &Metronome::OnDisplaySizeArrow);
  ReadFieldAsTyped(
      *FindWindow(metctl::kTempoEdit), [this] { Call(&Metronome::OnTempoEdited); },
      [this] { Call(&Metronome::OnTempoLeft); });
  ReadFieldAsTyped(
      *FindWindow(metctl::kBeatsEdit), [this] { Call(&Metronome::OnBeatsEdited); },
      [this] { Call(&Metronome::OnBeatsLeft); });
  bind(metctl::kChime, wxEVT_CHECKBOX, &Metronome::OnChimeClicked);
  bind(metctl::kVolume, wxEVT_SLIDER, &Metronome::OnVolumeMoved);
  bind(metctl::kStartStop, wxEVT_BUTTON, &Metronome::OnStartStop);
  Bind(wxEVT_CHAR_HOOK, &CMetronomeDlg::OnCharHook, this);
  Bind(wxEVT_CLOSE_WINDOW, &CMetronomeDlg::OnCloseWindow, this);
}

void CMetronomeDlg::OnCharHook(wxKeyEvent& event) {
  // The dialog has no OK or Cancel button: Escape, and Enter anywhere but on the start button
  // (which Enter presses, as on any button), close it as they would.
  const int key = event.GetKeyCode();
  const bool enter = key == WXK_RETURN || key == WXK_NUMPAD_ENTER;
  if (key == WXK_ESCAPE || (enter && dynamic_cast<wxButton*>(FindFocus()) == nullptr)) {
    CloseDialog();
    return;
  }
  event.Skip();
}

void CMetronomeDlg::PlaceAtTopRight() {
  const wxRect work = wxGetClientDisplayRect();
  SetPosition(wxPoint(work.GetRight() + 1 - GetSize().x, work.y));
}

bool CMetronomeDlg::HandlesCommand(int id) const {
  return id == cmd::kMetronome;
}

bool CMetronomeDlg::OnCommand(int id) {
  if (id != cmd::kMetronome) return false;
  Show();
  // The toolkit settles the dialog's size when it first shows it: the corner is kept then.
  if (!shownOnce_) PlaceAtTopRight();
  shownOnce_ = true;
  Raise();
  return true;
}

void CMetronomeDlg::CloseDialog() {
  Call(&Metronome::OnClose);
  wxDialog::Show(false);
}

void CMetronomeDlg::OnCloseWindow(wxCloseEvent& event) {
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  event.Veto();
  CloseDialog();
}

}  // namespace velmora
