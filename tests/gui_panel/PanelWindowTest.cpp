// The mixer panel's form and the correction list as real windows: the shell started in-process
// with scripted services, files loaded, a level slider moved, the mix built and the clipped
// stretches listed, checking the document and the controls.

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/wx.h>

#ifdef __WXGTK__
#include <dlfcn.h>
#endif

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GuiTestMain.h"
#include "MainFrame.h"
#include "Menus.h"
#include "MixStatusDlg.h"
#include "MixerForm.h"
#include "ShellFixture.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "audio/VirtualAudioBackend.h"
#include "document/VelmoraDoc.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"
#include "view/TimeText.h"

namespace velmora {
namespace {

using test::Pump;

// A full-scale square wave, so that two channels together clip on every frame.
std::vector<uint8_t> Square(uint32_t frames) {
  std::vector<int16_t> samples(std::size_t{frames} * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = (i / 2) % 2 == 0 ? 30000 : -30000;
  }
  return test::Pcm16(samples);
}

template <typename T>
T* Control(int id) {
  return dynamic_cast<T*>(wxWindow::FindWindowById(id, TheApp().view()->form()));
}

// Moves a slider to the panel's position `value` (the form maps it to the toolkit's own value).
void Scroll(int id, wxEventType type, int value) {
  auto* slider = Control<wxSlider>(id);
  TheApp().view()->mixer()->form().SetPosition(id, value);
  wxScrollEvent event(type, id, value, slider->HasFlag(wxSL_VERTICAL) ? wxVERTICAL : wxHORIZONTAL);
  event.SetEventObject(slider);
  slider->ProcessWindowEvent(event);
}

class PanelWindowTest : public test::ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    view_ = TheApp().view();
    ASSERT_NE(view_, nullptr);
    mixer_ = view_->mixer();
    ASSERT_NE(mixer_, nullptr);
  }
  void AdjustServices(ShellServices& services) override {
    services.audio = std::make_unique<VirtualAudioBackend>();
  }

  CVelmoraDoc& doc() { return view_->doc(); }

  CVelmoraView* view_ = nullptr;
  MixerForm* mixer_ = nullptr;
};

TEST_F(PanelWindowTest, LoadMoveLevelBuildAndListTheClippedStretches) {
  const std::string a = test::WriteWav(dir_, "a.wav", test::WavSpec{}, Square(44100));
  const std::string b = test::WriteWav(dir_, "b.wav", test::WavSpec{}, Square(22050));
  mixer_->panel().OnFilesDropped({a, b});

  ASSERT_TRUE(doc().slot(0).HasData());
  ASSERT_TRUE(doc().slot(1).HasData());
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const bool loaded = i < 2;
    EXPECT_EQ(Control<wxCheckBox>(ctl::kChannelCheck[i])->GetValue(), loaded);
    EXPECT_EQ(Control<wxSlider>(ctl::kLevel[i])->IsEnabled(), loaded);
    EXPECT_EQ(Control<wxTextCtrl>(ctl::kOffsetEdit[i])->IsEnabled(), loaded);
    EXPECT_EQ(Control<wxTextCtrl>(ctl::kOffsetEdit[i])->GetValue(), "0.000");
    EXPECT_EQ(mixer_->form().GetPosition(ctl::kLevel[i]), doc().slot(i).level);
  }
  EXPECT_TRUE(Control<wxButton>(ctl::kMakeMix)->IsEnabled());
  EXPECT_FALSE(Control<wxSlider>(ctl::kPositionSlider)->IsEnabled());

  // The first channel's level dragged to the top: twice full scale.
  doc().SetModifiedFlag(false);
  Scroll(ctl::kLevel[0], wxEVT_SCROLL_THUMBTRACK, 0);
  EXPECT_EQ(doc().slot(0).level, doc().slot(0).autoLevel) << "not taken while dragging";
  Scroll(ctl::kLevel[0], wxEVT_SCROLL_THUMBRELEASE, 0);
  Scroll(ctl::kLevel[0], wxEVT_SCROLL_CHANGED, 0);
  EXPECT_EQ(doc().slot(0).level, 0);
  EXPECT_TRUE(doc().mixStale());
  EXPECT_TRUE(doc().IsModified());

  wxCommandEvent click(wxEVT_BUTTON, ctl::kMakeMix);
  click.SetEventObject(Control<wxButton>(ctl::kMakeMix));
  Control<wxButton>(ctl::kMakeMix)->ProcessWindowEvent(click);
  ASSERT_TRUE(doc().HasMix());
  EXPECT_EQ(doc().mixFrames(), 44100u);
  EXPECT_FALSE(Control<wxButton>(ctl::kMakeMix)->IsEnabled());
  EXPECT_TRUE(Control<wxSlider>(ctl::kPositionSlider)->IsEnabled());
  EXPECT_EQ(Control<wxSlider>(ctl::kPositionSlider)->GetMax(),
            static_cast<int>(44100 - view_->settings().blockFrames));
  ASSERT_GT(doc().correctionCount(), 0);

  // The list comes from the menu command, through the router.
  EXPECT_EQ(TheApp().router().Execute(cmd::kCorrections), RouteResult::Done);
  CMixStatusDlg* dialog = mixer_->correctionDialog();
  ASSERT_TRUE(dialog->IsShown());
  wxListCtrl* list = dialog->list();
  wxListItem column;
  column.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_WIDTH);
  ASSERT_TRUE(list->GetColumn(0, column));
  EXPECT_EQ(column.GetText().utf8_string(), "補正位置");
  EXPECT_EQ(column.GetWidth(), 100);
  ASSERT_TRUE(list->GetColumn(1, column));
  EXPECT_EQ(column.GetText().utf8_string(), "長さ");
  EXPECT_EQ(column.GetWidth(), 120);
  EXPECT_EQ(dialog->intervals()->GetSelection(), 0);
  EXPECT_EQ(dialog->intervals()->GetString(7).utf8_string(), "6400μsec");
  ASSERT_EQ(list->GetItemCount(), static_cast<int>(mixer_->corrections().groups().size()));
  EXPECT_EQ(list->GetItemText(0, 0).utf8_string(), "00:00.000000");

  // A row clicked: the position slider and the time go to its start.
  const int last = list->GetItemCount() - 1;
  list->SetItemState(last, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
  wxListEvent selected(wxEVT_LIST_ITEM_SELECTED, list->GetId());
  selected.SetEventObject(list);
  list->ProcessWindowEvent(selected);
  const uint32_t start = mixer_->corrections().groups()[last].start;
  EXPECT_EQ(Control<wxSlider>(ctl::kPositionSlider)->GetValue(), static_cast<int>(start));
  EXPECT_EQ(Control<wxTextCtrl>(ctl::kPositionTime)->GetValue().utf8_string(),
            PositionTimeText(start, 44100));

  // Any change to the mix hides the list again.
  Scroll(ctl::kBalance[1], wxEVT_SCROLL_CHANGED, 3);
  EXPECT_EQ(doc().slot(1).balance, 3);
  EXPECT_FALSE(dialog->IsShown());
  EXPECT_TRUE(ui_->messages.empty());
}

// Pixels of the toolkit's accent colour (the fill of a slider's track) in the lower half of a
// window, as the toolkit draws it now: blue well above red. GTK draws on its own clock, so the
// widget is drawn here into an image of its own (the calls are looked up in the toolkit wx has
// loaded); elsewhere the count is -1.
int AccentPixelsInLowerHalf(wxWindow& window) {
#ifdef __WXGTK__
  using CreateSurface = void* (*)(int, int, int);
  using Create = void* (*)(void*);
  using Draw = void (*)(void*, void*);
  using Data = unsigned char* (*)(void*);
  using Stride = int (*)(void*);
  using Release = void (*)(void*);
  const auto createSurface =
      reinterpret_cast<CreateSurface>(dlsym(RTLD_DEFAULT, "cairo_image_surface_create"));
  const auto create = reinterpret_cast<Create>(dlsym(RTLD_DEFAULT, "cairo_create"));
  const auto draw = reinterpret_cast<Draw>(dlsym(RTLD_DEFAULT, "gtk_widget_draw"));
  const auto flush = reinterpret_cast<Release>(dlsym(RTLD_DEFAULT, "cairo_surface_flush"));
  const auto data = reinterpret_cast<Data>(dlsym(RTLD_DEFAULT, "cairo_image_surface_get_data"));
  const auto stride =
      reinterpret_cast<Stride>(dlsym(RTLD_DEFAULT, "cairo_image_surface_get_stride"));
  const auto destroy = reinterpret_cast<Release>(dlsym(RTLD_DEFAULT, "cairo_destroy"));
  const auto destroySurface =
      reinterpret_cast<Release>(dlsym(RTLD_DEFAULT, "cairo_surface_destroy"));
  if (!createSurface || !create || !draw || !flush || !data || !stride || !destroy ||
      !destroySurface) {
    return -1;
  }
  // The thumb moved since the toolkit last laid the widget out: lay it out again in place.
  struct Allocation {
    int x, y, width, height;
  };
  using Allocate = void (*)(void*, Allocation*);
  const auto getAllocation =
      reinterpret_cast<Allocate>(dlsym(RTLD_DEFAULT, "gtk_widget_get_allocation"));
  const auto allocate = reinterpret_cast<Allocate>(dlsym(RTLD_DEFAULT, "gtk_widget_size_allocate"));
  if (!getAllocation || !allocate) return -1;
  Allocation place{};
  getAllocation(window.GetHandle(), &place);
  allocate(window.GetHandle(), &place);

  const wxSize size = window.GetSize();
  void* surface = createSurface(0 /* ARGB32 */, size.x, size.y);
  void* cr = create(surface);
  draw(window.GetHandle(), cr);
  flush(surface);
  const unsigned char* pixels = data(surface);
  const int rowBytes = stride(surface);
  int count = 0;
  for (int y = size.y / 2; y < size.y; ++y) {
    for (int x = 0; x < size.x; ++x) {
      // B, G, R, A in memory.
      const unsigned char* p =
          pixels + static_cast<std::ptrdiff_t>(y) * rowBytes + static_cast<std::ptrdiff_t>(x) * 4;
      if (p[3] > 200 && p[0] > p[2] + 60) ++count;
    }
  }
  destroy(cr);
  destroySurface(surface);
  return count;
#else
  (void)window;
  return -1;
#endif
}

TEST_F(PanelWindowTest, LevelSlidersFillFromMinUpToTheThumb) {
  const std::string a = test::WriteWav(dir_, "a.wav", test::WavSpec{}, Square(4410));
  mixer_->panel().OnFilesDropped({a});
  auto* level = Control<wxSlider>(ctl::kLevel[0]);
  // Max (0) sits at the top and Min (200) at the bottom, as the labels say.
  Scroll(ctl::kLevel[0], wxEVT_SCROLL_CHANGED, 0);
  EXPECT_EQ(doc().slot(0).level, 0);
  EXPECT_EQ(mixer_->form().GetPosition(ctl::kLevel[0]), 0);
  const int loud = AccentPixelsInLowerHalf(*level);
  Scroll(ctl::kLevel[0], wxEVT_SCROLL_CHANGED, 200);
  EXPECT_EQ(doc().slot(0).level, 200);
  const int quiet = AccentPixelsInLowerHalf(*level);
  if (loud >= 0) {
    EXPECT_GT(loud, 20) << "at Max the track is filled from the bottom";
    EXPECT_LT(quiet, loud / 4) << "at Min the fill is empty";
  }
  // The toolkit runs the slider bottom to top, so the thumb stands where the level says.
  EXPECT_EQ(level->GetValue(), 0);
  EXPECT_TRUE(level->HasFlag(wxSL_INVERSE));
  Scroll(ctl::kLevel[0], wxEVT_SCROLL_CHANGED, 30);
  test::SaveScreenshot(*view_->form(), "mixer-panel-level-30");
}

TEST_F(PanelWindowTest, TheChannelMenuOpensFromAnyControlOfItsStrip) {
  const std::string a = test::WriteWav(dir_, "a.wav", test::WavSpec{}, Square(4410));
  mixer_->panel().OnFilesDropped({a});
  std::vector<std::vector<int>> menus;
  mixer_->showMenu = [&](wxMenu& menu, const wxPoint&) {
    std::vector<int> ids;
    for (const wxMenuItem* item : menu.GetMenuItems()) ids.push_back(FromWxId(item->GetId()));
    menus.push_back(ids);
    return true;
  };
  wxFrame* frame = TheApp().frame();
  frame->Raise();
  wxUIActionSimulator mouse;
  mouse.MouseMove(frame->GetScreenPosition() + wxPoint(40, frame->GetSize().y / 2));
  for (int i = 0; i < 20 && !frame->IsActive(); ++i) Pump();
  const auto rightClick = [&](int id) {
    wxWindow* control = wxWindow::FindWindowById(id, view_->form());
    mouse.MouseMove(control->GetScreenPosition() + control->GetSize() / 2);
    mouse.MouseClick(wxMOUSE_BTN_RIGHT);
    Pump();
  };
  for (int id : {ctl::kLevel[0], ctl::kBalance[0], ctl::kOffsetEdit[0], ctl::kChannelFrame[0]}) {
    SCOPED_TRACE(id);
    menus.clear();
    rightClick(id);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].front(), cmd::kSaveChannel);
    EXPECT_EQ(menus[0].back(), cmd::kGoToOffset);
  }
  // An empty channel, or a control outside the strips: no channel menu.
  menus.clear();
  rightClick(ctl::kChannelFrame[1]);
  rightClick(ctl::kMakeMix);
  EXPECT_TRUE(menus.empty());
  mixer_->showMenu = nullptr;
}

TEST_F(PanelWindowTest, EveryControlFitsTheFormWithoutOverlapping) {
  wxWindow* form = view_->form();
  const wxRect bounds(wxPoint(0, 0), form->GetClientSize());
  std::vector<wxWindow*> controls;
  for (wxWindow* child : form->GetChildren()) {
    if (child->IsTopLevel()) continue;
    SCOPED_TRACE(child->GetId());
    EXPECT_TRUE(bounds.Contains(child->GetRect())) << "inside the form";
    if (dynamic_cast<wxStaticBox*>(child) != nullptr) continue;
    if (auto* edit = dynamic_cast<wxTextCtrl*>(child)) {
      // Room for the widest offset or time with the entry's frame.
      const wxSize text = edit->GetTextExtent("3600.000");
      EXPECT_GE(edit->GetSize().x, text.x + 8) << "not clipped";
      EXPECT_GE(edit->GetSize().y, edit->GetCharHeight() + 4) << "not clipped";
    }
    if (dynamic_cast<wxButton*>(child) != nullptr) {
      EXPECT_GE(child->GetSize().y, child->GetBestSize().y) << "not clipped";
      EXPECT_GE(child->GetSize().x, child->GetBestSize().x) << "not clipped";
    }
    controls.push_back(child);
  }
  for (std::size_t i = 0; i < controls.size(); ++i) {
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      EXPECT_FALSE(controls[i]->GetRect().Intersects(controls[j]->GetRect()))
          << controls[i]->GetId() << " " << controls[i]->GetLabel() << " and "
          << controls[j]->GetId() << " " << controls[j]->GetLabel();
    }
  }
  EXPECT_EQ(Control<wxButton>(ctl::kTuningButton)->GetLabel().utf8_string(), "440Hz再生");
}

}  // namespace
}  // namespace velmora
