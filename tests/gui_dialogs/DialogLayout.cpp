#include "DialogLayout.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/bookctrl.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/fontenum.h>
#include <wx/modalhook.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <string>
#include <utility>
#include <vector>

namespace velmora::test {

namespace {

bool NeedsItsBestSize(const wxWindow& control) {
  return dynamic_cast<const wxStaticText*>(&control) != nullptr ||
         dynamic_cast<const wxButton*>(&control) != nullptr ||
         dynamic_cast<const wxRadioButton*>(&control) != nullptr;
}

std::string Describe(const wxWindow& control) {
  return std::to_string(control.GetId()) + " \"" + control.GetLabel().utf8_string() + "\" (" +
         wxString(control.GetClassInfo()->GetClassName()).utf8_string() + ")";
}

}  // namespace

void ExpectNothingOverlapsOrIsClipped(wxWindow& window) {
  const wxRect bounds(wxPoint(0, 0), window.GetClientSize());
  auto* book = dynamic_cast<wxBookCtrlBase*>(&window);
  std::vector<wxWindow*> controls;
  for (wxWindow* child : window.GetChildren()) {
    if (child->IsTopLevel() || !child->IsShown()) continue;
    if (book != nullptr && book->FindPage(child) != wxNOT_FOUND) {
      if (child == book->GetCurrentPage()) ExpectNothingOverlapsOrIsClipped(*child);
      continue;
    }
    SCOPED_TRACE(Describe(*child));
    EXPECT_TRUE(bounds.Contains(child->GetRect()))
        << "inside its parent " << Describe(window) << ": " << child->GetRect().x << ","
        << child->GetRect().y << " " << child->GetSize().x << "x" << child->GetSize().y;
    if (NeedsItsBestSize(*child)) {
      EXPECT_GE(child->GetSize().x, child->GetBestSize().x) << "not clipped";
      EXPECT_GE(child->GetSize().y, child->GetBestSize().y) << "not clipped";
    }
    if (auto* edit = dynamic_cast<wxTextCtrl*>(child)) {
      EXPECT_GE(edit->GetSize().y, edit->GetCharHeight() + 4) << "not clipped";
    }
    controls.push_back(child);
    // A static box holds its own controls; a book its pages.
    if (dynamic_cast<wxStaticBox*>(child) != nullptr ||
        dynamic_cast<wxBookCtrlBase*>(child) != nullptr) {
      ExpectNothingOverlapsOrIsClipped(*child);
    }
  }
  for (std::size_t i = 0; i < controls.size(); ++i) {
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      EXPECT_FALSE(controls[i]->GetRect().Intersects(controls[j]->GetRect()))
          << Describe(*controls[i]) << " and " << Describe(*controls[j]);
    }
  }
}

void ExpectJapaneseFace(wxWindow& window) {
  const wxString face = window.GetFont().GetFaceName();
  static const char* const kFaces[] = {"Noto Sans CJK JP", "Noto Sans JP", "Source Han Sans JP",
                                       "IPAGothic",        "IPAexGothic",  "VL Gothic",
                                       "TakaoGothic",      "MS UI Gothic"};
  bool japanese = false;
  for (const char* name : kFaces) japanese = japanese || face == name;
  EXPECT_TRUE(japanese) << "face " << face.utf8_string();
  EXPECT_TRUE(wxFontEnumerator::IsValidFacename(face)) << "installed: " << face.utf8_string();
}

namespace {

// Notes the dialog that goes modal (native ones, such as GTK's file chooser, are not among the
// top-level windows wx lists).
class LastModalDialog : public wxModalDialogHook {
 public:
  LastModalDialog() { Register(); }
  ~LastModalDialog() override { Unregister(); }
  wxDialog* dialog = nullptr;

 protected:
  int Enter(wxDialog* shown) override {
    dialog = shown;
    return wxID_NONE;
  }
  void Exit(wxDialog* gone) override {
    if (gone == dialog) dialog = nullptr;
  }
};

void CollectRects(const wxWindow& window, std::vector<wxRect>& rects) {
  for (const wxWindow* child : window.GetChildren()) {
    rects.push_back(child->GetRect());
    CollectRects(*child, rects);
  }
}

// GTK allocates the controls' sizes some events after the dialog goes modal; checks made
// before then see the sizes wx guessed. Waits until no control moved for a few rounds.
void WaitForLayout(wxDialog& dialog) {
  std::vector<wxRect> before;
  int steady = 0;
  for (int round = 0; round < 100 && steady < 5; ++round) {
    wxMilliSleep(5);
    wxTheApp->Yield(true);
    std::vector<wxRect> now;
    CollectRects(dialog, now);
    steady = now == before ? steady + 1 : 0;
    before = std::move(now);
  }
}

}  // namespace

void WithModalDialog(const std::function<void()>& open,
                     const std::function<void(wxDialog&)>& whileShown) {
  bool seen = false;
  LastModalDialog hook;
  wxTheApp->CallAfter([&] {
    wxDialog* dialog = hook.dialog;
    if (dialog == nullptr || !dialog->IsModal()) return;
    seen = true;
    WaitForLayout(*dialog);
    if (!dialog->IsModal()) return;
    whileShown(*dialog);
    // A check that failed before ending the dialog must not leave the test waiting.
    if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
  });
  open();
  EXPECT_TRUE(seen) << "a modal dialog came up";
  for (int i = 0; i < 3; ++i) wxTheApp->ProcessPendingEvents();
}

void Click(wxWindow& button) {
  wxCommandEvent click(wxEVT_BUTTON, button.GetId());
  click.SetEventObject(&button);
  button.ProcessWindowEvent(click);
}

}  // namespace velmora::test
