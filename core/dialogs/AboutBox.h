#pragma once
// The about box's logic (template 170): its texts, which controls are links (and so take the
// link cursor), and what a click on a link does: the web page opens in the user's browser, the
// support address starts a new mail in the user's mail program. A mail that cannot be handed
// over is reported with the program's four mail messages:
//   no opener found                          -> kMailLoadFailed
//   the opener could not be started          -> kMailLogonFailed with the system's error number
//   the opener reported failure              -> kMailSendFailed with its exit status
//   the opener's end could not be collected  -> kMailLogoffFailed with the system's error number
// A mail the user discards in the mail program is not an error.

#include <string>

namespace velmora {

class MailClient;
class Ui;
class WebBrowser;

namespace aboutctl {
constexpr int kWebPage = 1000;
constexpr int kSupportMail = 1001;
}  // namespace aboutctl

namespace msg {
inline constexpr const char* kMailLoadFailed = "MAPIライブラリのロードに失敗しました!";
inline constexpr const char* kMailLogonFailed = "MAPIへのログオンに失敗しました! : %d";
inline constexpr const char* kMailSendFailed = "メッセージ送信の処理に失敗しました! : %d";
inline constexpr const char* kMailLogoffFailed = "MAPIのログオフに失敗しました! : %d";
}  // namespace msg

namespace about {
inline constexpr const char* kCaption = "バージョン情報 Velmora";
inline constexpr const char* kVersionLine = "Velmora Version 2.1";
inline constexpr const char* kFurtherLine = "4チャンネル WAV ミキサー／レコーダー";
inline constexpr const char* kWebPage = "https://velmora.example.org/";
inline constexpr const char* kSupportAddress = "support@velmora.example.org";
}  // namespace about

class AboutBox {
 public:
  // All must outlive the box; the Ui also every mail still being composed.
  AboutBox(Ui& ui, WebBrowser& browser, MailClient& mail);

  // The text of link control aboutctl::kWebPage or kSupportMail; empty for any other id.
  static std::string LinkText(int controlId);
  // Whether the control is a link: the link cursor shows over it, the arrow elsewhere.
  static bool IsLink(int controlId) {
    return controlId == aboutctl::kWebPage || controlId == aboutctl::kSupportMail;
  }

  // A click on a control; ignored unless it is a link.
  void OnClick(int controlId);
  // A new mail to support (subject and body one space); failures are reported when known.
  void SendSupportMail();

 private:
  Ui& ui_;
  WebBrowser& browser_;
  MailClient& mail_;
};

}  // namespace velmora
