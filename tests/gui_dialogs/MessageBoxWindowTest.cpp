// The program's message boxes and file choosers as wx shows them: errors with the stop icon and
// questions with the warning icon, the Japanese buttons with their mnemonics under a non-UTF-8
// locale, the answer of each button, and the titles of the Open and Save As choosers.

#include <gtest/gtest.h>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/wx.h>

#include <algorithm>
#include <clocale>
#include <optional>
#include <string>
#include <vector>

#include "DialogLayout.h"
#include "GuiTestMain.h"
#include "ShellFixture.h"
#include "WxUi.h"

namespace velmora {
namespace {

using test::U;

bool SameImage(const wxBitmap& a, const wxBitmap& b) {
  if (!a.IsOk() || !b.IsOk() || a.GetSize() != b.GetSize()) return false;
  const wxImage left = a.ConvertToImage();
  const wxImage right = b.ConvertToImage();
  const size_t bytes = static_cast<size_t>(left.GetWidth()) * left.GetHeight() * 3;
  return std::equal(left.GetData(), left.GetData() + bytes, right.GetData());
}

class MessageBoxWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::WxReady()) GTEST_SKIP() << "no X display (DISPLAY is unset)";
    // A locale whose encoding is not UTF-8, as an English desktop without UTF-8 has.
    const char* current = std::setlocale(LC_ALL, nullptr);
    savedLocale_ = current != nullptr ? current : "C";
    std::setlocale(LC_ALL, "C");
  }
  void TearDown() override {
    if (!savedLocale_.empty()) std::setlocale(LC_ALL, savedLocale_.c_str());
  }

  WxUi ui_;

 private:
  std::string savedLocale_;
};

TEST_F(MessageBoxWindowTest, IconsButtonsAndAnswers) {
  const struct {
    const char* name;
    MessageIcon icon;
    MessageButtons buttons;
    long iconStyle;
    std::vector<const char*> labels;
    int press;
    Answer answer;
  } cases[] = {
      {"error", MessageIcon::Stop, MessageButtons::Ok, wxICON_ERROR, {"OK"}, wxID_OK, Answer::Ok},
      {"question",
       MessageIcon::Warning,
       MessageButtons::YesNo,
       wxICON_WARNING,
       {"はい(&Y)", "いいえ(&N)"},
       wxID_YES,
       Answer::Yes},
      {"question-no",
       MessageIcon::Warning,
       MessageButtons::YesNo,
       wxICON_WARNING,
       {"はい(&Y)", "いいえ(&N)"},
       wxID_NO,
       Answer::No},
      {"save-question",
       MessageIcon::Warning,
       MessageButtons::YesNoCancel,
       wxICON_WARNING,
       {"はい(&Y)", "いいえ(&N)", "キャンセル"},
       wxID_CANCEL,
       Answer::Cancel},
      {"validation",
       MessageIcon::Exclamation,
       MessageButtons::Ok,
       wxICON_WARNING,
       {"OK"},
       wxID_OK,
       Answer::Ok},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = std::string("チャンネル1のデータは保存されていません。\n") + c.name;
    std::optional<Answer> answer;
    test::WithModalDialog(
        [&] { answer = ui_.ShowMessage(text, c.icon, c.buttons); },
        [&](wxDialog& dialog) {
          EXPECT_EQ(dialog.GetTitle(), "Velmora");
          EXPECT_TRUE(dialog.HasFlag(wxSTAY_ON_TOP));
          std::vector<wxString> labels;
          wxButton* press = nullptr;
          const wxStaticBitmap* icon = nullptr;
          bool textShown = false;
          for (wxWindowList::compatibility_iterator node = dialog.GetChildren().GetFirst();
               node != nullptr; node = node->GetNext()) {
            wxWindow* child = node->GetData();
            std::vector<wxWindow*> all{child};
            for (wxWindow* grand : child->GetChildren()) all.push_back(grand);
            for (wxWindow* w : all) {
              if (auto* button = dynamic_cast<wxButton*>(w)) {
                labels.push_back(button->GetLabel());
                if (button->GetId() == c.press) press = button;
              }
              if (auto* bitmap = dynamic_cast<wxStaticBitmap*>(w)) icon = bitmap;
              if (auto* label = dynamic_cast<wxStaticText*>(w)) {
                textShown = textShown || label->GetLabel().Contains(U("保存されていません"));
              }
            }
          }
          EXPECT_TRUE(textShown);
          ASSERT_NE(icon, nullptr) << "the box shows an icon";
          EXPECT_TRUE(SameImage(icon->GetBitmap(), wxArtProvider::GetMessageBoxIcon(c.iconStyle)))
              << "the icon of its kind";
          std::vector<wxString> expected;
          for (const char* label : c.labels) expected.push_back(U(label));
          std::sort(labels.begin(), labels.end());
          std::sort(expected.begin(), expected.end());
          EXPECT_EQ(labels, expected);
          test::ExpectNothingOverlapsOrIsClipped(dialog);
          if (c.buttons != MessageButtons::YesNo) {
            test::SaveScreenshot(dialog, std::string("message-") + c.name);
          }
          ASSERT_NE(press, nullptr);
          test::Click(*press);
        });
    EXPECT_EQ(answer, c.answer);
  }
}

TEST_F(MessageBoxWindowTest, EscapeAnswersAQuestionWithoutCancelNo) {
  std::optional<Answer> answer;
  test::WithModalDialog(
      [&] { answer = ui_.ShowMessage("?", MessageIcon::Warning, MessageButtons::YesNo); },
      [](wxDialog& dialog) { dialog.EndModal(wxID_CANCEL); });
  EXPECT_EQ(answer, Answer::No);
}

TEST_F(MessageBoxWindowTest, FileChoosersCarryTheirTitles) {
  const struct {
    bool save;
    const char* title;
    const char* shown;
  } cases[] = {
      {false, "", "開く"},
      {true, "", "名前を付けて保存"},
      {true, "マーク間のデータを保存", "マーク間のデータを保存"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    FileDialogRequest request;
    request.title = c.title;
    request.filter = "Velmora ﾌｧｲﾙ(*.wav)|*.wav||";
    std::optional<std::string> chosen = std::string("not asked");
    test::WithModalDialog(
        [&] { chosen = c.save ? ui_.ChooseSaveFile(request) : ui_.ChooseOpenFile(request); },
        [&](wxDialog& dialog) {
          auto* chooser = dynamic_cast<wxFileDialog*>(&dialog);
          ASSERT_NE(chooser, nullptr);
          EXPECT_EQ(chooser->GetMessage(), U(c.shown)) << "the chooser's title";
          dialog.EndModal(wxID_CANCEL);
        });
    EXPECT_FALSE(chosen.has_value()) << "cancelled";
  }
}

}  // namespace
}  // namespace velmora
