// The commands that open the dialogs: each of the ten fade commands opens its fade, OK stores it
// and marks the mix stale as a change of the document, Cancel changes nothing, disabled commands
// open nothing; the properties show the document; the about box opens from its command.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/AboutBox.h"
#include "dialogs/DialogCommands.h"
#include "dialogs/FadeSetup.h"
#include "document/VelmoraDoc.h"
#include "panel/CorrectionList.h"
#include "panel/MixerPanel.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "support/DocumentFixture.h"
#include "support/FakeCorrectionListWindow.h"
#include "support/FakeForm.h"
#include "support/FakeTimers.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"
#include "view/ViewSettings.h"

namespace velmora {
namespace {

// Runs the "dialog" with a scripted OK or Cancel and records what it was opened with.
class ScriptedWindows : public DialogWindows {
 public:
  bool RunFadeSetup(FadeSetup& setup) override {
    opened.push_back(setup);
    if (!ok) return false;
    setup.curve = newCurve;
    setup.time = newTime;
    return true;
  }
  void RunProperties(const PropertyEntries& entries) override { properties.push_back(entries); }
  void RunAbout(AboutBox&) override { ++abouts; }

  bool ok = true;
  int32_t newCurve = 2;
  int32_t newTime = 3000;
  std::vector<FadeSetup> opened;
  std::vector<PropertyEntries> properties;
  int abouts = 0;
};

class DialogCommandTest : public ::testing::Test {
 protected:
  DialogCommandTest()
      : doc(ui),
        list(form),
        panel(ViewContext{doc, ui, form, timers, view}, list, nullptr),
        commands(doc, panel, windows) {
    list.Attach(&listWindow);
    panel.Initialise();
    doc.OnNewDocument();
  }

  void LoadChannel1() {
    test::WavSpec spec;
    const std::string path = test::WriteWav(dir, "a.wav", spec, test::Pcm16({100, -100}));
    ASSERT_TRUE(doc.LoadIntoSlot(0, path));
    doc.SetModifiedFlag(false);
    doc.SetMixStale(false);
    form.Enable(ctl::kMakeMix, false);
  }

  test::TempDir dir;
  test::FakeUi ui;
  test::FakeForm form;
  test::FakeTimers timers;
  test::FakeCorrectionListWindow listWindow;
  ViewSettings view;
  CVelmoraDoc doc;
  CorrectionList list;
  MixerPanel panel;
  ScriptedWindows windows;
  ViewDialogCommands commands;
};

TEST_F(DialogCommandTest, EachOfTheTenCommandsOpensItsFade) {
  LoadChannel1();
  for (int i = 1; i < kChannelCount; ++i) test::DocumentAccess::slot(doc, i).data.Allocate(4);
  windows.ok = false;
  const struct {
    int id;
    bool isFadeOut;
    int32_t target;
  } cases[] = {
      {cmd::kFadeInWhole, false, 4}, {cmd::kFadeIn[0], false, 0}, {cmd::kFadeIn[1], false, 1},
      {cmd::kFadeIn[2], false, 2},   {cmd::kFadeIn[3], false, 3}, {cmd::kFadeOutWhole, true, 4},
      {cmd::kFadeOut[0], true, 0},   {cmd::kFadeOut[1], true, 1}, {cmd::kFadeOut[2], true, 2},
      {cmd::kFadeOut[3], true, 3},
  };
  for (const auto& c : cases) {
    const FadeSetting setting{FadeCurve::Concave, 100 + c.id % 1000};
    if (c.isFadeOut) {
      doc.SetFadeOut(c.target, setting);
    } else {
      doc.SetFadeIn(c.target, setting);
    }
    ASSERT_TRUE(commands.OnCommand(c.id)) << c.id;
    ASSERT_FALSE(windows.opened.empty());
    const FadeSetup& shown = windows.opened.back();
    EXPECT_EQ(shown.isFadeOut, c.isFadeOut) << c.id;
    EXPECT_EQ(shown.target, c.target) << c.id;
    EXPECT_EQ(shown.curve, 1) << c.id;
    EXPECT_EQ(shown.time, 100 + c.id % 1000) << c.id;
  }
  EXPECT_EQ(windows.opened.size(), 10u);
  EXPECT_FALSE(commands.OnCommand(cmd::kPlay));
}

TEST_F(DialogCommandTest, OkStoresTheFadeAndMarksTheDocumentModifiedAndTheMixStale) {
  LoadChannel1();
  test::DocumentAccess::corrections(doc).push_back({10, 2});
  list.Show(doc);
  ASSERT_TRUE(listWindow.shown);
  commands.OnCommand(cmd::kFadeOutWhole);
  EXPECT_EQ(doc.fadeOut()[kWholeMix].curve, FadeCurve::Linear);
  EXPECT_EQ(doc.fadeOut()[kWholeMix].time, 3000);
  EXPECT_EQ(doc.fadeIn()[kWholeMix].time, 0) << "the other direction is untouched";
  EXPECT_TRUE(doc.IsModified());
  EXPECT_TRUE(doc.mixStale());
  EXPECT_TRUE(form.At(ctl::kMakeMix).enabled);
  EXPECT_FALSE(listWindow.shown) << "the correction list is hidden";

  // OK without a change still marks the mix stale.
  doc.SetModifiedFlag(false);
  doc.SetMixStale(false);
  commands.OnCommand(cmd::kFadeOutWhole);
  EXPECT_TRUE(doc.IsModified());
  EXPECT_TRUE(doc.mixStale());
}

TEST_F(DialogCommandTest, CancelChangesNothing) {
  LoadChannel1();
  doc.SetFadeIn(0, {FadeCurve::Convex, 500});
  doc.SetMixStale(false);
  windows.ok = false;
  commands.OnCommand(cmd::kFadeIn[0]);
  EXPECT_EQ(doc.fadeIn()[0].curve, FadeCurve::Convex);
  EXPECT_EQ(doc.fadeIn()[0].time, 500);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_FALSE(doc.mixStale());
}

TEST_F(DialogCommandTest, DisabledFadesDoNotOpen) {
  // Channel 2 is empty; while playing or mixing in the background nothing opens.
  LoadChannel1();
  commands.OnCommand(cmd::kFadeIn[1]);
  doc.SetTransportState(TransportState::Playing);
  commands.OnCommand(cmd::kFadeInWhole);
  doc.SetTransportState(TransportState::Stopped);
  test::DocumentAccess::SetWorkerBusy(doc, true);
  commands.OnCommand(cmd::kFadeOut[0]);
  test::DocumentAccess::SetWorkerBusy(doc, false);
  EXPECT_TRUE(windows.opened.empty());

  // With no channel loaded the whole-mix fade still opens; OK then clears the modified flag.
  CVelmoraDoc& d = doc;
  d.ReleaseChannel(0);
  d.SetModifiedFlag(true);
  commands.OnCommand(cmd::kFadeInWhole);
  EXPECT_EQ(windows.opened.size(), 1u);
  EXPECT_EQ(d.fadeIn()[kWholeMix].time, 3000);
  EXPECT_FALSE(d.IsModified());
  EXPECT_FALSE(d.mixStale());
}

TEST_F(DialogCommandTest, PropertiesShowTheDocumentOnlyWhenAChannelHoldsData) {
  EXPECT_TRUE(commands.OnCommand(cmd::kProperties));
  EXPECT_TRUE(windows.properties.empty()) << "disabled without data";
  LoadChannel1();
  EXPECT_TRUE(commands.OnCommand(cmd::kProperties));
  ASSERT_EQ(windows.properties.size(), 1u);
  EXPECT_EQ(windows.properties[0][1].totalBytes, 4);
  EXPECT_EQ(windows.properties[0][1].fileName, doc.slot(0).path);
  EXPECT_FALSE(doc.IsModified()) << "the dialog only shows";
}

}  // namespace
}  // namespace velmora
