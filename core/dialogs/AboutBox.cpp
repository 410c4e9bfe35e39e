#include "dialogs/AboutBox.h"

#include "io/Format.h"
#include "seams/MailClient.h"
#include "seams/Ui.h"
#include "seams/WebBrowser.h"

namespace velmora {

namespace {

void ReportMailResult(Ui& ui, MailResult result) {
  switch (result.outcome) {
    case MailOutcome::Composed:
      return;
    case MailOutcome::NoOpener:
      ui.ShowError(msg::kMailLoadFailed);
      return;
    case MailOutcome::StartFailed:
      ui.ShowError(Format(msg::kMailLogonFailed, result.code));
      return;
    case MailOutcome::OpenerFailed:
      ui.ShowError(Format(msg::kMailSendFailed, result.code));
      return;
    case MailOutcome::LostOpener:
      ui.ShowError(Format(msg::kMailLogoffFailed, result.code));
      return;
  }
}

}  // namespace

AboutBox::AboutBox(Ui& ui, WebBrowser& browser, MailClient& mail)
    : ui_(ui), browser_(browser), mail_(mail) {}

std::string AboutBox::LinkText(int controlId) {
  switch (controlId) {
    case aboutctl::kWebPage:
      return about::kWebPage;
    case aboutctl::kSupportMail:
      return about::kSupportAddress;
    default:
      return std::string();
  }
}

void AboutBox::OnClick(int controlId) {
  if (controlId == aboutctl::kWebPage) browser_.OpenPage(about::kWebPage);
  if (controlId == aboutctl::kSupportMail) SendSupportMail();
}

void AboutBox::SendSupportMail() {
  MailMessage message;
  message.to = about::kSupportAddress;
  message.subject = " ";
  message.body = " ";
  Ui& ui = ui_;
  mail_.Compose(message, [&ui](MailResult result) { ReportMailResult(ui, result); });
}

}  // namespace velmora
