// The about box's logic: which controls are links, what a click on each does, and how each way a
// support mail can fail is reported with the program's four mail messages.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/AboutBox.h"
#include "dialogs/DialogCommands.h"
#include "seams/CommandIds.h"
#include "seams/MailClient.h"
#include "seams/WebBrowser.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

class FakeBrowser : public WebBrowser {
 public:
  void OpenPage(const std::string& url) override { pages.push_back(url); }
  std::vector<std::string> pages;
};

// Keeps each mail's completion for the test to run, as the user-interface thread would later.
class FakeMail : public MailClient {
 public:
  void Compose(const MailMessage& message, Done done) override {
    mails.push_back(message);
    pending.push_back(std::move(done));
  }
  void Finish(MailResult result) {
    Done done = std::move(pending.front());
    pending.erase(pending.begin());
    done(result);
  }
  std::vector<MailMessage> mails;
  std::vector<Done> pending;
};

class AboutBoxTest : public ::testing::Test {
 protected:
  test::FakeUi ui;
  FakeBrowser browser;
  FakeMail mail;
  AboutBox about{ui, browser, mail};
};

TEST_F(AboutBoxTest, OnlyTheTwoLinksTakeTheLinkCursorAndAClick) {
  EXPECT_TRUE(AboutBox::IsLink(aboutctl::kWebPage));
  EXPECT_TRUE(AboutBox::IsLink(aboutctl::kSupportMail));
  for (int id : {1, 0, -1, 999, 1002}) {
    EXPECT_FALSE(AboutBox::IsLink(id)) << id;
    EXPECT_EQ(AboutBox::LinkText(id), "") << id;
    about.OnClick(id);
  }
  EXPECT_TRUE(browser.pages.empty());
  EXPECT_TRUE(mail.mails.empty());

  EXPECT_EQ(AboutBox::LinkText(aboutctl::kWebPage), "https://velmora.example.org/");
  EXPECT_EQ(AboutBox::LinkText(aboutctl::kSupportMail), "support@velmora.example.org");
  about.OnClick(aboutctl::kWebPage);
  EXPECT_EQ(browser.pages, std::vector<std::string>{"https://velmora.example.org/"});
  EXPECT_TRUE(mail.mails.empty());
  EXPECT_TRUE(ui.messages.empty()) << "a page that does not open is not reported";
}

TEST_F(AboutBoxTest, TheSupportMailGoesToSupportWithOneSpaceAsSubjectAndBody) {
  about.OnClick(aboutctl::kSupportMail);
  ASSERT_EQ(mail.mails.size(), 1u);
  EXPECT_EQ(mail.mails[0].to, "support@velmora.example.org");
  EXPECT_EQ(mail.mails[0].subject, " ");
  EXPECT_EQ(mail.mails[0].body, " ");
  EXPECT_TRUE(browser.pages.empty());
}

TEST_F(AboutBoxTest, EachFailureShowsItsMessageWithTheErrorIconAndComposingShowsNone) {
  const struct {
    MailResult result;
    const char* message;  // empty = none
  } cases[] = {
      {{MailOutcome::Composed, 0}, ""},
      {{MailOutcome::NoOpener, 0}, "MAPIライブラリのロードに失敗しました!"},
      {{MailOutcome::StartFailed, 13}, "MAPIへのログオンに失敗しました! : 13"},
      {{MailOutcome::OpenerFailed, 3}, "メッセージ送信の処理に失敗しました! : 3"},
      {{MailOutcome::LostOpener, 10}, "MAPIのログオフに失敗しました! : 10"},
  };
  for (const auto& c : cases) {
    ui.messages.clear();
    about.SendSupportMail();
    mail.Finish(c.result);
    if (*c.message == '\0') {
      EXPECT_TRUE(ui.messages.empty());
      continue;
    }
    ASSERT_EQ(ui.messages.size(), 1u) << c.message;
    EXPECT_EQ(ui.messages[0].text, c.message);
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::Ok);
  }
}

TEST_F(AboutBoxTest, TwoMailsInARowAreIndependent) {
  // The first fails late, after the second has started; each reports only its own outcome.
  about.SendSupportMail();
  about.SendSupportMail();
  mail.Finish({MailOutcome::OpenerFailed, 4});
  mail.Finish({MailOutcome::Composed, 0});
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"メッセージ送信の処理に失敗しました! : 4"});
  EXPECT_EQ(mail.mails.size(), 2u);
}

class CountingWindows : public DialogWindows {
 public:
  bool RunFadeSetup(FadeSetup&) override { return false; }
  void RunProperties(const PropertyEntries&) override {}
  void RunAbout(AboutBox& box) override { shown.push_back(&box); }
  std::vector<AboutBox*> shown;
};

TEST_F(AboutBoxTest, TheAboutCommandShowsTheBox) {
  CountingWindows windows;
  AboutCommand command(about, windows);
  EXPECT_TRUE(command.HandlesCommand(cmd::kAbout));
  EXPECT_FALSE(command.OnCommand(cmd::kHelpFinder));
  EXPECT_TRUE(command.OnCommand(cmd::kAbout));
  EXPECT_EQ(windows.shown, std::vector<AboutBox*>{&about});
}

}  // namespace
}  // namespace velmora
