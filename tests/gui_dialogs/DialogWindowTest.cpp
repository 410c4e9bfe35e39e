// The modal dialogs of the real program under X, each opened by its command: the fade setup
// (labels, checked curve, refused and accepted times, what OK and Cancel leave in the document),
// the properties (tabs, fields, the file name from its start, Escape) and the about box (texts,
// links drawn as links with the link cursor over them only, clicks handed to core). Each one's
// layout: nothing overlapping or clipped, Japanese faces.

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/notebook.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/wx.h>

#include <memory>
#include <string>
#include <vector>

#include "AppAbout2.h"
#include "DialogLayout.h"
#include "GuiTestMain.h"
#include "MainFrame.h"
#include "MixerForm.h"
#include "PropertyDlg.h"
#include "ShellFixture.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "dialogs/AboutBox.h"
#include "dialogs/FadeSetup.h"
#include "document/VelmoraDoc.h"
#include "seams/CommandIds.h"
#include "seams/MailClient.h"
#include "seams/WebBrowser.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

using test::Click;
using test::WithModalDialog;

using test::Find;
using test::Pump;
using test::Send;
using test::U;

class DialogWindowTest : public test::ShellTest {
 protected:
  CVelmoraDoc& doc() { return TheApp().view()->doc(); }

  // Channel 1: ten seconds of 16-bit stereo at 44100 Hz from a file deep in folders.
  void LoadChannel1() {
    const std::string folder =
        dir_.File("録音したテイクを置いておくためのとても長い名前のフォルダ");
    ASSERT_TRUE(wxMkdir(wxString::FromUTF8(folder.c_str())));
    const std::vector<uint8_t> silence(std::size_t{441000} * 4, 0);
    const std::string path = folder + "/take.wav";
    test::WriteBytes(path, test::MakeWav(test::WavSpec{}, silence));
    TheApp().view()->mixer()->panel().OnFilesDropped({path});
    ASSERT_TRUE(doc().slot(0).HasData());
    doc().SetModifiedFlag(false);
  }
};

TEST_F(DialogWindowTest, FadeOutOfTheWholeMixRefusesABadTimeAndStoresAGoodOne) {
  LoadChannel1();
  doc().SetFadeOut(kWholeMix, {FadeCurve::Concave, 1200});
  doc().SetMixStale(false);
  WithModalDialog(
      [&] { Send(cmd::kFadeOutWhole); },
      [&](wxDialog& dialog) {
        EXPECT_EQ(dialog.GetTitle(), U("フェードアウト設定 - 全体"));
        EXPECT_EQ(Find<wxStaticText>(dialog, fadectl::kTimeLabel)->GetLabel(),
                  U("フェードアウト時間"));
        EXPECT_EQ(Find<wxStaticBox>(dialog, fadectl::kCurveGroup)->GetLabel(), U("減衰方法"));
        auto* convex = Find<wxRadioButton>(dialog, fadectl::kConvex);
        auto* concave = Find<wxRadioButton>(dialog, fadectl::kConcave);
        auto* linear = Find<wxRadioButton>(dialog, fadectl::kLinear);
        EXPECT_EQ(convex->GetLabel(), U("SIN90～180曲線"));
        EXPECT_EQ(concave->GetLabel(), U("SIN180～270曲線"));
        EXPECT_EQ(linear->GetLabel(), U("直線"));
        EXPECT_TRUE(concave->GetValue()) << "the current curve is checked";
        EXPECT_FALSE(convex->GetValue());
        auto* time = Find<wxTextCtrl>(dialog, fadectl::kTime);
        EXPECT_EQ(time->GetValue(), "1200");
        test::ExpectNothingOverlapsOrIsClipped(dialog);
        test::ExpectJapaneseFace(dialog);
        test::SaveScreenshot(dialog, "fade-setup");

        linear->SetValue(true);
        time->SetValue("100001");
        Click(*Find<wxButton>(dialog, wxID_OK));
        EXPECT_TRUE(dialog.IsModal()) << "refused: the dialog stays open";
        ASSERT_EQ(ui_->Texts(),
                  std::vector<std::string>{"0 から 100000 までの整数を入力してください。"});
        EXPECT_EQ(wxWindow::FindFocus(), time);
        time->SetValue("10秒");
        Click(*Find<wxButton>(dialog, wxID_OK));
        EXPECT_TRUE(dialog.IsModal());
        EXPECT_EQ(ui_->Texts().back(), "整数を入力してください。");
        EXPECT_EQ(doc().fadeOut()[kWholeMix].time, 1200) << "nothing stored yet";

        time->SetValue("100000");
        Click(*Find<wxButton>(dialog, wxID_OK));
        EXPECT_FALSE(dialog.IsModal());
      });
  EXPECT_EQ(doc().fadeOut()[kWholeMix].curve, FadeCurve::Linear);
  EXPECT_EQ(doc().fadeOut()[kWholeMix].time, 100000);
  EXPECT_TRUE(doc().IsModified());
  EXPECT_TRUE(doc().mixStale());
}

TEST_F(DialogWindowTest, CancelInAChannelFadeInKeepsTheSetting) {
  LoadChannel1();
  doc().SetFadeIn(0, {FadeCurve::Convex, 300});
  doc().SetMixStale(false);
  WithModalDialog(
      [&] { Send(cmd::kFadeIn[0]); },
      [&](wxDialog& dialog) {
        EXPECT_EQ(dialog.GetTitle(), U("フェードイン設定 - チャンネル1"));
        EXPECT_EQ(Find<wxStaticText>(dialog, fadectl::kTimeLabel)->GetLabel(),
                  U("フェードイン時間"));
        EXPECT_EQ(Find<wxStaticBox>(dialog, fadectl::kCurveGroup)->GetLabel(), U("増幅方法"));
        EXPECT_EQ(Find<wxRadioButton>(dialog, fadectl::kConvex)->GetLabel(), U("SIN0～90曲線"));
        EXPECT_EQ(Find<wxRadioButton>(dialog, fadectl::kConcave)->GetLabel(), U("SIN270～360曲線"));
        EXPECT_TRUE(Find<wxRadioButton>(dialog, fadectl::kConvex)->GetValue());
        Find<wxRadioButton>(dialog, fadectl::kConcave)->SetValue(true);
        Find<wxTextCtrl>(dialog, fadectl::kTime)->SetValue("5000");
        test::ExpectNothingOverlapsOrIsClipped(dialog);
        Click(*Find<wxButton>(dialog, wxID_CANCEL));
      });
  EXPECT_EQ(doc().fadeIn()[0].curve, FadeCurve::Convex);
  EXPECT_EQ(doc().fadeIn()[0].time, 300);
  EXPECT_FALSE(doc().IsModified());
  EXPECT_FALSE(doc().mixStale());
  EXPECT_TRUE(ui_->messages.empty());
}

TEST_F(DialogWindowTest, PropertiesShowEachTabAndCloseWithEscape) {
  LoadChannel1();
  const std::string path = doc().slot(0).path;
  for (int round = 0; round < 2; ++round) {
    WithModalDialog(
        [&] { Send(cmd::kProperties); },
        [&](wxDialog& dialog) {
          auto* properties = dynamic_cast<CPropertyDlg*>(&dialog);
          ASSERT_NE(properties, nullptr);
          EXPECT_EQ(dialog.GetTitle(), U("プロパティ"));
          wxNotebook* tabs = properties->tabs();
          ASSERT_EQ(tabs->GetPageCount(), 5u);
          const char* names[] = {"出力ファイル", "チャンネル1", "チャンネル2", "チャンネル3",
                                 "チャンネル4"};
          for (int i = 0; i < 5; ++i) EXPECT_EQ(tabs->GetPageText(i), U(names[i]));
          EXPECT_EQ(tabs->GetSelection(), 0) << "opens on the output tab";
          // Every tab shows in the strip (GTK scrolls away the tabs that do not fit).
          std::vector<int> hit;
          for (int x = 0; x < tabs->GetSize().x; ++x) {
            const int page = tabs->HitTest(wxPoint(x, tabs->GetCharHeight()));
            if (page >= 0 && (hit.empty() || hit.back() != page)) hit.push_back(page);
          }
          EXPECT_EQ(hit, (std::vector<int>{0, 1, 2, 3, 4}));
          // No mix yet: the output tab's fields are empty, not zeros.
          for (int id : {propctl::kSampleRate, propctl::kTotalBytes, propctl::kPlayTime,
                         propctl::kFileName}) {
            EXPECT_EQ(properties->Field(0, id)->GetValue(), "") << id;
          }
          if (round == 0) {
            test::ExpectNothingOverlapsOrIsClipped(dialog);
            test::ExpectJapaneseFace(dialog);
          }
          tabs->SetSelection(1);
          EXPECT_EQ(properties->Field(1, propctl::kSampleRate)->GetValue(), "44100");
          EXPECT_EQ(properties->Field(1, propctl::kBitsPerSample)->GetValue(), "16");
          EXPECT_EQ(properties->Field(1, propctl::kChannelCount)->GetValue(), "2");
          EXPECT_EQ(properties->Field(1, propctl::kTotalBytes)->GetValue(), "1764000");
          EXPECT_EQ(properties->Field(1, propctl::kPlayTime)->GetValue(), "00:10.000");
          wxTextCtrl* name = properties->Field(1, propctl::kFileName);
          EXPECT_EQ(name->GetValue().utf8_string(), path);
          EXPECT_EQ(name->GetInsertionPoint(), 0) << "the path shows its start";
          EXPECT_TRUE(properties->Field(1, propctl::kTotalBytes)->HasFlag(wxTE_READONLY));
          if (round == 0) {
            test::ExpectNothingOverlapsOrIsClipped(dialog);
            test::SaveScreenshot(dialog, "properties");
          }
          tabs->SetSelection(3);
          EXPECT_EQ(properties->Field(3, propctl::kSampleRate)->GetValue(), "");
          EXPECT_EQ(properties->Field(3, propctl::kFileName)->GetValue(), "");

          wxKeyEvent escape(wxEVT_CHAR_HOOK);
          escape.m_keyCode = WXK_ESCAPE;
          escape.SetEventObject(&dialog);
          dialog.ProcessWindowEvent(escape);
          EXPECT_FALSE(dialog.IsModal()) << "Escape closes it";
        });
  }
  EXPECT_FALSE(doc().IsModified());
}

TEST_F(DialogWindowTest, AboutBoxFromItsCommand) {
  WithModalDialog([&] { Send(cmd::kAbout); },
                  [&](wxDialog& dialog) {
                    ASSERT_NE(dynamic_cast<CAppAbout2*>(&dialog), nullptr);
                    EXPECT_EQ(dialog.GetTitle(), U("バージョン情報 Velmora"));
                    std::vector<wxString> texts;
                    bool icon = false;
                    for (wxWindow* child : dialog.GetChildren()) {
                      if (auto* text = dynamic_cast<wxStaticText*>(child)) {
                        texts.push_back(text->GetLabelText());
                      }
                      if (auto* bitmap = dynamic_cast<wxStaticBitmap*>(child)) {
                        icon = bitmap->GetBitmap().IsOk() && bitmap->GetSize().x >= 32;
                      }
                    }
                    EXPECT_TRUE(icon) << "the program's icon";
                    ASSERT_EQ(texts.size(), 2u);
                    EXPECT_EQ(texts[0], "Velmora Version 2.1");
                    EXPECT_EQ(texts[1], U(about::kFurtherLine));
                    for (int id : {aboutctl::kWebPage, aboutctl::kSupportMail}) {
                      wxWindow* link = dialog.FindWindow(id);
                      ASSERT_NE(link, nullptr) << id;
                      EXPECT_EQ(link->GetLabel().utf8_string(), AboutBox::LinkText(id));
                      EXPECT_EQ(link->GetForegroundColour(), wxColour(0, 0, 192));
                      EXPECT_TRUE(link->GetFont().GetUnderlined());
                      EXPECT_TRUE(link->GetCursor().IsOk()) << "the link cursor over a link";
                    }
                    for (wxWindow* child : dialog.GetChildren()) {
                      if (AboutBox::IsLink(child->GetId())) continue;
                      EXPECT_FALSE(child->GetCursor().IsOk())
                          << "the arrow over " << child->GetLabel().utf8_string();
                    }
                    EXPECT_FALSE(dialog.GetCursor().IsOk());
                    test::ExpectNothingOverlapsOrIsClipped(dialog);
                    test::ExpectJapaneseFace(dialog);
                    test::SaveScreenshot(dialog, "about");
                    Click(*Find<wxButton>(dialog, wxID_OK));
                  });
}

class RecordingBrowser : public WebBrowser {
 public:
  void OpenPage(const std::string& url) override { pages.push_back(url); }
  std::vector<std::string> pages;
};

class RecordingMail : public MailClient {
 public:
  void Compose(const MailMessage& message, Done done) override {
    mails.push_back(message);
    done({MailOutcome::OpenerFailed, 4});
  }
  std::vector<MailMessage> mails;
};

void LeftClickAt(wxWindow& window, wxPoint where) {
  wxMouseEvent up(wxEVT_LEFT_UP);
  up.SetPosition(where);
  up.SetEventObject(&window);
  window.ProcessWindowEvent(up);
}

TEST_F(DialogWindowTest, ClicksOnTheLinksReachTheBrowserAndTheMailProgram) {
  RecordingBrowser browser;
  RecordingMail mail;
  AboutBox about(*ui_, browser, mail);
  auto* dialog = new CAppAbout2(TheApp().frame(), about);
  dialog->Show();
  Pump();

  for (wxWindow* child : dialog->GetChildren()) {
    if (!AboutBox::IsLink(child->GetId())) LeftClickAt(*child, wxPoint(2, 2));
  }
  EXPECT_TRUE(browser.pages.empty());
  EXPECT_TRUE(mail.mails.empty());

  wxWindow* page = dialog->FindWindow(aboutctl::kWebPage);
  LeftClickAt(*page, wxPoint(page->GetSize().x - 2, page->GetSize().y / 2));
  EXPECT_EQ(browser.pages, std::vector<std::string>{"https://velmora.example.org/"});
  LeftClickAt(*page, wxPoint(page->GetSize().x + 5, 2));
  EXPECT_EQ(browser.pages.size(), 1u) << "released beside the link: no click";

  wxWindow* support = dialog->FindWindow(aboutctl::kSupportMail);
  LeftClickAt(*support, wxPoint(2, 2));
  ASSERT_EQ(mail.mails.size(), 1u);
  EXPECT_EQ(mail.mails[0].to, "support@velmora.example.org");
  EXPECT_EQ(ui_->Texts(), std::vector<std::string>{"メッセージ送信の処理に失敗しました! : 4"});
  dialog->Destroy();
  Pump();
}

}  // namespace
}  // namespace velmora
