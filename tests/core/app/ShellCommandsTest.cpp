// Files named at start-up, New, and the commands the document answers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/FileFilter.h"
#include "app/ShellCommands.h"
#include "document/VelmoraDoc.h"
#include "seams/CommandIds.h"
#include "support/FakeUi.h"
#include "support/MenuCommands.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

class ShellCommandsTest : public ::testing::Test {
 protected:
  std::string Wav(const std::string& name, int rate = 44100) {
    test::WavSpec spec;
    spec.rate = rate;
    return test::WriteWav(dir, name, spec, test::Pcm16({1000, -1000, 2000, -2000}));
  }
  test::TempDir dir;
  test::FakeUi ui;
  CVelmoraDoc doc{ui};
};

TEST_F(ShellCommandsTest, StartupFilesLoadInOrderAndTheFifthGetsTheNoSlotMessage) {
  ASSERT_TRUE(doc.OnNewDocument());
  std::vector<std::string> paths;
  for (int i = 1; i <= 6; ++i) paths.push_back(Wav("take" + std::to_string(i) + ".wav"));
  OpenStartupFiles(doc, paths);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(doc.slot(i).path, paths[i]);
    EXPECT_TRUE(doc.slot(i).HasData());
    EXPECT_TRUE(doc.slot(i).selected);
  }
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{msg::kNoEmptySlot})) << "once, then stop";
  EXPECT_TRUE(doc.IsModified()) << "as Open: files after the first mark the document";
  EXPECT_EQ(doc.GetTitle(), msg::kUntitled);
}

TEST_F(ShellCommandsTest, StartupFileThatFailsLeavesItsSlotToTheNext) {
  ASSERT_TRUE(doc.OnNewDocument());
  const std::string good = Wav("good.wav");
  OpenStartupFiles(doc, {dir.File("missing.wav"), dir.File("notes.txt"), good});
  EXPECT_EQ(doc.slot(0).path, good);
  EXPECT_FALSE(doc.slot(1).HasData());
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[1].text, msg::kWrongType);
  EXPECT_FALSE(doc.IsModified()) << "one file into the first slot of a clean document";
}

TEST_F(ShellCommandsTest, NewAsksFirstAndCancelKeepsTheChannels) {
  ASSERT_TRUE(doc.OnNewDocument());
  OpenStartupFiles(doc, {Wav("a.wav"), Wav("b.wav")});
  ASSERT_TRUE(doc.IsModified());
  NewDocumentCommand command(doc);

  ui.answers = {Answer::Cancel};
  EXPECT_TRUE(command.OnCommand(cmd::kNew));
  EXPECT_TRUE(doc.slot(1).HasData());

  ui.answers = {Answer::No};
  EXPECT_TRUE(command.OnCommand(cmd::kNew));
  EXPECT_FALSE(doc.HasAnyChannel());
  EXPECT_FALSE(doc.IsModified());
  EXPECT_EQ(ui.messages.size(), 2u);
  EXPECT_FALSE(command.OnCommand(cmd::kOpen));
}

TEST_F(ShellCommandsTest, DocumentAnswersOpenAndLeavesViewCommands) {
  DocumentCommands commands(doc);
  ui.openChoices = {Wav("chosen.wav")};
  EXPECT_TRUE(commands.OnCommand(cmd::kOpen));
  EXPECT_EQ(ui.openRequests.size(), 1u);
  EXPECT_TRUE(doc.slot(0).HasData());
  for (int id : {cmd::kPlay, cmd::kStop, cmd::kNew, cmd::kExit, cmd::kReleaseChannel}) {
    EXPECT_FALSE(commands.OnCommand(id)) << id;
  }
}

// The router enables the commands a target claims: both claim exactly those they run.
TEST_F(ShellCommandsTest, DocumentAndNewClaimExactlyTheMenuCommandsTheyRun) {
  ASSERT_TRUE(doc.OnNewDocument());
  DocumentCommands commands(doc);
  NewDocumentCommand newCommand(doc);
  int claimed = 0;
  for (int id : test::MenuCommands()) {
    EXPECT_EQ(commands.HandlesCommand(id), commands.OnCommand(id)) << id;
    EXPECT_EQ(newCommand.HandlesCommand(id), newCommand.OnCommand(id)) << id;
    claimed += commands.HandlesCommand(id) ? 1 : 0;
  }
  EXPECT_EQ(claimed, 12) << "open, save, save as, the marks stretch, four channels, four trims";
  EXPECT_TRUE(newCommand.HandlesCommand(cmd::kNew));
}

TEST(FileFilter, WildcardAndDefaultExtension) {
  EXPECT_EQ(ToolkitWildcard("Velmora ﾌｧｲﾙ(*.wav, *.wma)|*.wav;*.wma||", false),
            "Velmora ﾌｧｲﾙ(*.wav, *.wma)|*.wav;*.wma");
  EXPECT_EQ(ToolkitWildcard("Velmora ﾌｧｲﾙ(*.wav)|*.wav||", true),
            "Velmora ﾌｧｲﾙ(*.wav)|*.[wW][aA][vV]");
  EXPECT_EQ(ToolkitWildcard("a|*.wav|b|*.mp3||", true), "a|*.[wW][aA][vV]|b|*.[mM][pP]3");
  const std::pair<const char*, const char*> saves[] = {
      {"/tmp/mix", "/tmp/mix.wav"},
      {"/tmp/mix.WAV", "/tmp/mix.WAV"},
      {"/tmp/my.dir/mix", "/tmp/my.dir/mix.wav"},
      {"/tmp/ミックス", "/tmp/ミックス.wav"},
  };
  for (const auto& [chosen, saved] : saves) EXPECT_EQ(WithDefaultExtension(chosen, "wav"), saved);
  EXPECT_EQ(WithDefaultExtension("/tmp/mix", ""), "/tmp/mix");
}

}  // namespace
}  // namespace velmora
