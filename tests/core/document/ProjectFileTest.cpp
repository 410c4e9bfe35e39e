// The project file: what a document's project holds, its text read back as written, and every
// kind of bad text refused without touching the project it was to fill.

#include <gtest/gtest.h>

#include <string>

#include "document/ProjectFile.h"
#include "document/VelmoraDoc.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

const std::string kProjectPath = "/music/song/song.velmora";

Project AllSettingsProject() {
  Project project;
  project.channels[0] = {
      "/music/song/take 1.wav",   0, 0, 3600000, true, {FadeCurve::Concave, 1500},
      {FadeCurve::Linear, 100000}};
  project.channels[1] = {"/music/song/takes/b.wma", 200, 20, 250, false, {}, {}};
  project.channels[2] = {"/elsewhere/50%\nodd.wav", 37, 4, 0, true, {}, {FadeCurve::Concave, 1}};
  project.fadeIn = {FadeCurve::Linear, 2000};
  project.fadeOut = {FadeCurve::Concave, 3000};
  project.startMark = 44100;
  project.endMark = 4000000000u;
  project.monoPlayback = true;
  project.outputPath = "/music/song/mix.wav";
  return project;
}

TEST(ProjectFile, TextReadsBackAsWrittenWithFilesBesideTheProjectRelative) {
  const Project project = AllSettingsProject();
  const std::string text = ProjectText(project, kProjectPath);
  EXPECT_EQ(text.rfind("velmora-project 1\n", 0), 0u) << text;
  EXPECT_NE(text.find("\nfile take 1.wav\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nfile takes/b.wma\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nfile /elsewhere/50%25%0Aodd.wav\n"), std::string::npos) << text;

  Project read;
  ASSERT_TRUE(ParseProject(text, kProjectPath, read));
  EXPECT_TRUE(read == project);
  // The project moved with its files: the relative ones follow it.
  ASSERT_TRUE(ParseProject(text, "/backup/song.velmora", read));
  EXPECT_EQ(read.channels[0].file, "/backup/take 1.wav");
  EXPECT_EQ(read.channels[2].file, "/elsewhere/50%\nodd.wav");
}

TEST(ProjectFile, HoldsTheDocumentsChannelsAndSettings) {
  test::FakeUi ui;
  CVelmoraDoc doc(ui);
  ChannelSlot& slot = test::PutSilence(doc, 1, test::ChannelFormat{}, 100);
  slot.path = "/music/a.wav";
  doc.SetLevel(1, 150);
  doc.SetBalance(1, 3);
  doc.SetOffset(1, 1200);
  doc.SetFadeIn(1, {FadeCurve::Linear, 400});
  doc.SetFadeOut(kWholeMix, {FadeCurve::Concave, 900});
  doc.SetStartMark(10);
  doc.SetMonoPlayback(true);

  const Project project = ProjectOf(doc);
  EXPECT_TRUE(project.channels[0].file.empty());
  const ProjectChannel& channel = project.channels[1];
  EXPECT_EQ(channel.file, "/music/a.wav");
  EXPECT_EQ(channel.level, 150);
  EXPECT_EQ(channel.balance, 3);
  EXPECT_EQ(channel.offset, 1200);
  EXPECT_TRUE(channel.selected);
  EXPECT_EQ(channel.fadeIn.time, 400);
  EXPECT_EQ(project.fadeOut.curve, FadeCurve::Concave);
  EXPECT_EQ(project.fadeOut.time, 900);
  EXPECT_EQ(project.startMark, 10u);
  EXPECT_TRUE(project.monoPlayback);
}

TEST(ProjectFile, BadTextIsRefusedAndLeavesTheProjectAsItWas) {
  const std::string head = "velmora-project 1\n";
  struct Case {
    const char* name;
    std::string text;
    FailureKind what;
    uint64_t line;
  };
  const Case cases[] = {
      {"empty", "", FailureKind::ProjectUnreadable, 0},
      {"binary", head + std::string("level \0 1\n", 10), FailureKind::ProjectUnreadable, 0},
      {"ten megabytes of garbage", std::string(10 << 20, 'x'), FailureKind::ProjectUnreadable, 0},
      {"a WAV file", "RIFF\x24\x08\x00\x00WAVEfmt ", FailureKind::ProjectUnreadable, 1},
      {"another program's text", "[project]\nname=x\n", FailureKind::ProjectUnreadable, 1},
      {"a newer version", "velmora-project 2\nfuture 1\n", FailureKind::ProjectVersion, 0},
      {"no version", "velmora-project\n", FailureKind::ProjectUnreadable, 1},
      {"unknown setting", head + "tempo 120\n", FailureKind::ProjectUnreadable, 2},
      {"level out of range", head + "channel 1\nlevel 201\n", FailureKind::ProjectUnreadable, 3},
      {"negative offset", head + "channel 2\noffset -5\n", FailureKind::ProjectUnreadable, 3},
      {"a fifth channel", head + "channel 5\n", FailureKind::ProjectUnreadable, 2},
      {"a channel twice", head + "channel 1\nchannel 1\n", FailureKind::ProjectUnreadable, 3},
      {"channel setting before a channel", head + "level 5\n", FailureKind::ProjectUnreadable, 2},
      {"a number with more after it", head + "mono 1 1\n", FailureKind::ProjectUnreadable, 2},
      {"no value", head + "channel 1\nbalance\n", FailureKind::ProjectUnreadable, 3},
      {"a fade curve not known", head + "fade-in 3 10\n", FailureKind::ProjectUnreadable, 2},
      {"a path climbing out", head + "channel 1\nfile ../x.wav\n", FailureKind::ProjectUnreadable,
       3},
      {"a path climbing out inside", head + "channel 1\nfile a/../../x.wav\n",
       FailureKind::ProjectUnreadable, 3},
      {"a broken escape", head + "output a%ZZ.wav\n", FailureKind::ProjectUnreadable, 2},
      {"an empty file name", head + "channel 1\nfile \n", FailureKind::ProjectUnreadable, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Project project = AllSettingsProject();
    const Result result = ParseProject(c.text, kProjectPath, project);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.what(), c.what);
    EXPECT_EQ(result.failure().where, kProjectPath);
    if (c.what == FailureKind::ProjectUnreadable) {
      EXPECT_EQ(result.failure().offset, c.line);
    }
    EXPECT_TRUE(project == AllSettingsProject());
  }
}

TEST(ProjectFile, ANewerVersionSaysWhichAndCarriageReturnsAreTaken) {
  Project project;
  const Result newer = ParseProject("velmora-project 7\r\n", kProjectPath, project);
  ASSERT_FALSE(newer);
  EXPECT_EQ(newer.failure().systemCode, 7);

  ASSERT_TRUE(ParseProject("velmora-project 1\r\nmono 1\r\nchannel 3\r\nlevel 5\r\n", kProjectPath,
                           project));
  EXPECT_TRUE(project.monoPlayback);
  EXPECT_EQ(project.channels[2].level, 5);
}

}  // namespace
}  // namespace velmora
