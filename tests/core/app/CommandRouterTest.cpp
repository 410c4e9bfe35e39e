// Command routing: view, document, frame, application; disabled commands never run.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandRouter.h"
#include "seams/CommandIds.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

// Records every command it is offered; runs those in `runs`.
class Recorder : public CommandTarget {
 public:
  Recorder(std::string name, std::vector<std::string>& log, std::vector<int> runs)
      : name_(std::move(name)), log_(log), runs_(std::move(runs)) {}
  bool OnCommand(int id) override {
    log_.push_back(name_ + ":" + std::to_string(id));
    return std::find(runs_.begin(), runs_.end(), id) != runs_.end();
  }
  bool HandlesCommand(int id) const override {
    return std::find(runs_.begin(), runs_.end(), id) != runs_.end();
  }

 private:
  std::string name_;
  std::vector<std::string>& log_;
  std::vector<int> runs_;
};

class CommandRouterTest : public ::testing::Test {
 protected:
  test::FakeUi ui;
  CVelmoraDoc doc{ui};
  CommandRouter router;
  std::vector<std::string> log;
  void SetUp() override { router.SetDocument(&doc); }
};

TEST_F(CommandRouterTest, LevelsAreAskedViewDocumentFrameApplicationWhateverTheOrderAdded) {
  Recorder app("app", log, {cmd::kNew, cmd::kStop});
  Recorder frame("frame", log, {cmd::kStop});
  Recorder document("doc", log, {cmd::kStop});
  Recorder panel("panel", log, {});
  Recorder transport("transport", log, {cmd::kStop});
  router.Add(RouteLevel::Application, &app);
  router.Add(RouteLevel::Frame, &frame);
  router.Add(RouteLevel::Document, &document);
  router.Add(RouteLevel::View, &panel);
  router.Add(RouteLevel::View, &transport);

  EXPECT_EQ(router.Execute(cmd::kStop), RouteResult::Done);
  EXPECT_EQ(log, (std::vector<std::string>{"panel:32779", "transport:32779"}));

  log.clear();
  EXPECT_EQ(router.Execute(cmd::kNew), RouteResult::Done);
  EXPECT_EQ(log, (std::vector<std::string>{"panel:57600", "transport:57600", "doc:57600",
                                           "frame:57600", "app:57600"}));

  log.clear();
  router.Remove(&transport);
  EXPECT_EQ(router.Execute(cmd::kStop), RouteResult::Done);
  EXPECT_EQ(log, (std::vector<std::string>{"panel:32779", "doc:32779"}));
}

TEST_F(CommandRouterTest, DisabledCommandReachesNoTarget) {
  Recorder view("view", log, {cmd::kPlay, cmd::kProperties});
  router.Add(RouteLevel::View, &view);
  // No channel: Play and Properties are disabled, so a key or a tool cannot run them either.
  EXPECT_EQ(router.Execute(cmd::kPlay), RouteResult::Disabled);
  EXPECT_EQ(router.Execute(cmd::kProperties), RouteResult::Disabled);
  doc.SetTransportState(TransportState::TuningTone);
  EXPECT_EQ(router.Execute(cmd::kStop), RouteResult::Disabled);
  EXPECT_TRUE(log.empty());
  doc.SetTransportState(TransportState::Stopped);
  // Enabled by its rule, but no target runs it: still nothing is offered the command.
  EXPECT_EQ(router.Execute(cmd::kStop), RouteResult::Disabled);
  EXPECT_TRUE(log.empty());
}

TEST_F(CommandRouterTest, StatesFollowTheRulesAndTheFourAlwaysEnabledCommands) {
  const std::vector<int> always = {cmd::kMetronome, cmd::kExit, cmd::kHelpFinder, cmd::kAbout};
  std::vector<int> handled = always;
  handled.insert(handled.end(), {cmd::kPlay, cmd::kStop, cmd::kRecord, cmd::kNew});
  Recorder target("target", log, handled);
  router.Add(RouteLevel::Frame, &target);
  EXPECT_FALSE(router.StateOf(cmd::kPlay).enabled);
  EXPECT_EQ(router.StateOf(cmd::kStop).check, CheckMark::On);
  EXPECT_TRUE(router.StateOf(cmd::kRecord).enabled);
  for (int id : always) {
    EXPECT_TRUE(router.StateOf(id).enabled) << id;
    router.SetDocument(nullptr);
    EXPECT_TRUE(router.StateOf(id).enabled) << id << " without a document";
    router.SetDocument(&doc);
  }
  router.SetDocument(nullptr);
  EXPECT_FALSE(router.StateOf(cmd::kNew).enabled);
}

// Commands that nothing runs yet (the record command before a recorder exists, say) are off in
// the menu, on the tool bar and for their keys, whatever the rule says; the check mark stays.
TEST_F(CommandRouterTest, CommandThatNoTargetRunsIsDisabledWhateverItsRule) {
  for (int id : {cmd::kRecord, cmd::kStop, cmd::kMetronome, cmd::kAbout, cmd::kExit}) {
    EXPECT_FALSE(router.StateOf(id).enabled) << id;
    EXPECT_EQ(router.Execute(id), RouteResult::Disabled) << id;
  }
  EXPECT_EQ(router.StateOf(cmd::kStop).check, CheckMark::On);

  Recorder other("other", log, {cmd::kPlay});
  router.Add(RouteLevel::View, &other);
  EXPECT_FALSE(router.StateOf(cmd::kStop).enabled) << "a target that runs other commands";
  Recorder stop("stop", log, {cmd::kStop});
  router.Add(RouteLevel::Document, &stop);
  EXPECT_TRUE(router.StateOf(cmd::kStop).enabled);
  EXPECT_EQ(router.Execute(cmd::kStop), RouteResult::Done);
  EXPECT_EQ(log, (std::vector<std::string>{"other:32779", "stop:32779"}));
  router.Remove(&stop);
  EXPECT_FALSE(router.StateOf(cmd::kStop).enabled) << "its only target has gone";
}

TEST_F(CommandRouterTest, CommandWithoutARuleIsEnabledOnlyWhenATargetRunsIt) {
  const int kExtra = 40001;
  EXPECT_FALSE(router.StateOf(kExtra).enabled);
  EXPECT_EQ(router.Execute(kExtra), RouteResult::Disabled);
  Recorder frame("frame", log, {kExtra});
  router.Add(RouteLevel::Frame, &frame);
  EXPECT_TRUE(router.StateOf(kExtra).enabled);
  EXPECT_EQ(router.StateOf(kExtra).check, CheckMark::Unchanged);
  EXPECT_EQ(router.Execute(kExtra), RouteResult::Done);
  EXPECT_EQ(log, (std::vector<std::string>{"frame:40001"}));
}

TEST_F(CommandRouterTest, UndoAndRedoNameTheirStepAndWaitForTheTransport) {
  Recorder panel("panel", log, {cmd::kUndo, cmd::kRedo});
  router.Add(RouteLevel::View, &panel);
  const auto caption = [this](int id) { return router.StateOf(id).caption; };
  EXPECT_FALSE(router.StateOf(cmd::kUndo).enabled);
  EXPECT_EQ(caption(cmd::kUndo), "元に戻す\tCtrl+Z(&U)");
  EXPECT_EQ(caption(cmd::kRedo), "やり直し\tCtrl+Y(&R)");

  test::PutSilence(doc, 0, {}, 100);
  test::PutSilence(doc, 1, {}, 100);
  doc.SetLevel(0, 50);
  EXPECT_TRUE(router.StateOf(cmd::kUndo).enabled);
  EXPECT_EQ(caption(cmd::kUndo), "元に戻す: レベル (Ch1)\tCtrl+Z(&U)");
  ASSERT_TRUE(doc.Undo());
  EXPECT_EQ(caption(cmd::kUndo), "元に戻す\tCtrl+Z(&U)");
  EXPECT_EQ(caption(cmd::kRedo), "やり直し: レベル (Ch1)\tCtrl+Y(&R)");

  doc.SetTransportState(TransportState::Recording);
  EXPECT_FALSE(router.StateOf(cmd::kRedo).enabled) << "no redo while recording";
  EXPECT_EQ(router.Execute(cmd::kRedo), RouteResult::Disabled);
  doc.SetTransportState(TransportState::Playing);
  EXPECT_TRUE(router.StateOf(cmd::kRedo).enabled) << "a setting may come back while playing";

  // A whole channel back or away only while nothing plays, as release and load.
  doc.SetTransportState(TransportState::Stopped);
  ASSERT_TRUE(doc.ReleaseChannel(1));
  EXPECT_EQ(caption(cmd::kUndo), "元に戻す: 解放 (Ch2)\tCtrl+Z(&U)");
  doc.SetTransportState(TransportState::Playing);
  EXPECT_FALSE(router.StateOf(cmd::kUndo).enabled);
  doc.SetTransportState(TransportState::Stopped);
  EXPECT_TRUE(router.StateOf(cmd::kUndo).enabled);
}

}  // namespace
}  // namespace velmora
