// The mail opener on xdg-email, run against stand-in xdg-email scripts on PATH: the arguments it
// is given, and each outcome (composed, opener missing, opener that cannot start, opener that
// reports failure), that an outcome arriving after the client has gone is dropped, and that
// only folders named from the root are searched.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "shell/XdgMailClient.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

class MailClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    savedPath_ = path != nullptr ? path : "";
    setenv("PATH", dir.path().c_str(), 1);
  }
  void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

  // A stand-in opener: writes each argument on a line of args.txt, then runs `tail`.
  void WriteOpener(const std::string& tail, mode_t mode = 0755,
                   const std::string& interpreter = "/bin/sh") {
    const std::string file = dir.File("xdg-email");
    std::ofstream(file) << "#!" << interpreter << "\n"
                        << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '"
                        << dir.File("args.txt") << "'\n"
                        << tail << "\n";
    chmod(file.c_str(), mode);
  }

  // Composes a mail and waits for its outcome; tasks posted to the user-interface thread run on
  // the waiter's thread here.
  MailResult Compose() {
    std::promise<MailResult> outcome;
    XdgMailClient client([](const std::function<void()>& task) { task(); });
    client.Compose({"support@velmora.example.org", " ", " "},
                   [&outcome](MailResult result) { outcome.set_value(result); });
    return outcome.get_future().get();
  }

  std::vector<std::string> Arguments() const {
    std::vector<std::string> lines;
    std::ifstream in(dir.File("args.txt"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  test::TempDir dir;

 private:
  std::string savedPath_;
};

TEST_F(MailClientTest, TheOpenerGetsTheAddressSubjectAndBody) {
  WriteOpener("exit 0");
  const MailResult result = Compose();
  EXPECT_EQ(result.outcome, MailOutcome::Composed);
  EXPECT_EQ(Arguments(), (std::vector<std::string>{"--utf8", "--subject", " ", "--body", " ",
                                                   "support@velmora.example.org"}));
}

TEST_F(MailClientTest, EachWayOfFailingIsTold) {
  const struct {
    const char* name;
    std::optional<std::string> tail;  // nothing = no opener on PATH
    mode_t mode;
    std::string interpreter;
    MailOutcome outcome;
    int code;
  } cases[] = {
      {"missing", std::nullopt, 0755, "/bin/sh", MailOutcome::NoOpener, 0},
      {"not executable", "exit 0", 0644, "/bin/sh", MailOutcome::NoOpener, 0},
      {"cannot start", "exit 0", 0755, "/nonexistent/sh", MailOutcome::StartFailed, ENOENT},
      {"no mail program", "exit 3", 0755, "/bin/sh", MailOutcome::OpenerFailed, 3},
      {"action failed", "exit 4", 0755, "/bin/sh", MailOutcome::OpenerFailed, 4},
      {"killed", "kill -9 $$", 0755, "/bin/sh", MailOutcome::OpenerFailed, 128 + 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(dir.File("xdg-email").c_str());
    if (c.tail) WriteOpener(*c.tail, c.mode, c.interpreter);
    const MailResult result = Compose();
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.code, c.code);
  }
}

TEST_F(MailClientTest, AnOpenerInTheCurrentFolderIsNeverRun) {
  WriteOpener("exit 0");
  const std::string cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  setenv("PATH", ".", 1);
  const MailResult result = Compose();
  std::filesystem::current_path(cwd);
  EXPECT_EQ(result.outcome, MailOutcome::NoOpener);
  EXPECT_FALSE(std::filesystem::exists(dir.File("args.txt"))) << "./xdg-email ran";
}

TEST_F(MailClientTest, AnOutcomeAfterTheClientHasGoneIsDropped) {
  WriteOpener("exit 5");
  std::promise<void> posted;
  std::function<void()> task;
  bool told = false;
  {
    XdgMailClient client([&](std::function<void()> t) {
      task = std::move(t);
      posted.set_value();
    });
    client.Compose({"support@velmora.example.org", " ", " "}, [&](MailResult) { told = true; });
    posted.get_future().wait();
  }
  ASSERT_TRUE(task);
  task();  // the user-interface thread gets to the queued task after the client is gone
  EXPECT_FALSE(told);
}

TEST_F(MailClientTest, FindsOnlyExecutableFilesAlongThePath) {
  WriteOpener("exit 0");
  const std::string folder = dir.path();
  EXPECT_EQ(XdgMailClient::FindExecutable("xdg-email", "/nonexistent:" + folder),
            folder + "/xdg-email");
  EXPECT_EQ(XdgMailClient::FindExecutable("xdg-email", "/nonexistent"), "");
  EXPECT_EQ(XdgMailClient::FindExecutable("xdg-email", ""), "");
  // An empty entry is not the current folder.
  const std::string cwd = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  EXPECT_EQ(XdgMailClient::FindExecutable("xdg-email", ":/nonexistent:"), "");
  // Nor is any relative entry: the opener is run only from a folder named from the root.
  const std::string back = "../" + std::filesystem::path(folder).filename().string();
  for (const std::string& relative : {std::string("."), std::string("./"), back}) {
    SCOPED_TRACE(relative);
    EXPECT_EQ(XdgMailClient::FindExecutable("xdg-email", relative + ":/nonexistent"), "");
  }
  std::filesystem::current_path(cwd);
  mkdir(dir.File("sub").c_str(), 0755);
  mkdir(dir.File("sub/xdg-email").c_str(), 0755);
  EXPECT_EQ(XdgMailClient::FindExecutable("xdg-email", dir.File("sub") + ":" + folder),
            folder + "/xdg-email")
      << "a folder of that name is passed over";
}

}  // namespace
}  // namespace velmora
