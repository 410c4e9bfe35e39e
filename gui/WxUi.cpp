#include "WxUi.h"

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "app/FileFilter.h"

namespace velmora {

namespace {

constexpr const char* kCaption = "Velmora";
// The buttons and the file choosers' titles of the program, whatever the user's locale.
constexpr const char* kYes = "はい(&Y)";
constexpr const char* kNo = "いいえ(&N)";
constexpr const char* kCancel = "キャンセル";
constexpr const char* kOk = "OK";
constexpr const char* kOpenTitle = "開く";
constexpr const char* kSaveTitle = "名前を付けて保存";

wxString FromUtf8(const std::string& text) {
  return wxString::FromUTF8(text.c_str());
}

long IconStyle(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Stop:
      return wxICON_ERROR;
    case MessageIcon::Warning:
    case MessageIcon::Exclamation:
      return wxICON_WARNING;
    case MessageIcon::Information:
      return wxICON_INFORMATION;
  }
  return wxICON_INFORMATION;
}

long ButtonStyle(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok:
      return wxOK;
    case MessageButtons::YesNo:
      return wxYES_NO;
    case MessageButtons::YesNoCancel:
      return wxYES_NO | wxCANCEL;
  }
  return wxOK;
}

std::optional<std::string> RunFileDialog(wxWindow* owner, const FileDialogRequest& request,
                                         const char* defaultTitle, long style) {
#ifdef __WXGTK__
  const bool anyCase = true;  // GTK's patterns are case-sensitive; Windows' are not
#else
  const bool anyCase = false;
#endif
  const std::string title = request.title.empty() ? defaultTitle : request.title;
  wxFileDialog dialog(owner, FromUtf8(title), wxEmptyString, wxEmptyString,
                      FromUtf8(ToolkitWildcard(request.filter, anyCase)), style);
  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
  return dialog.GetPath().utf8_string();
}

}  // namespace

wxWindow* WxUi::Owner() {
  return wxTheApp != nullptr ? wxTheApp->GetTopWindow() : nullptr;
}

Answer WxUi::ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) {
  // The generic box draws its icon (GTK's own message dialogs show none) and takes the labels
  // as given. Labels are converted from UTF-8 explicitly: a plain char string is read in the
  // locale's encoding, which under a non-UTF-8 locale drops them for the toolkit's English ones.
  wxGenericMessageDialog dialog(Owner(), FromUtf8(text), kCaption,
                                IconStyle(icon) | ButtonStyle(buttons) | wxCENTRE);
  // The generic box makes its window only when shown, without this style.
  dialog.Bind(wxEVT_INIT_DIALOG, [&dialog](wxInitDialogEvent& event) {
    dialog.SetWindowStyleFlag(dialog.GetWindowStyleFlag() | wxSTAY_ON_TOP);
    event.Skip();
  });
  if (buttons == MessageButtons::Ok) {
    dialog.SetOKLabel(FromUtf8(kOk));
  } else {
    dialog.SetYesNoCancelLabels(FromUtf8(kYes), FromUtf8(kNo), FromUtf8(kCancel));
  }
  switch (dialog.ShowModal()) {
    case wxID_YES:
      return Answer::Yes;
    case wxID_NO:
      return Answer::No;
    case wxID_CANCEL:
      // Escape or the close box: a Yes/No question without Cancel is answered No.
      if (buttons == MessageButtons::YesNoCancel) return Answer::Cancel;
      return buttons == MessageButtons::YesNo ? Answer::No : Answer::Ok;
    default:
      return Answer::Ok;
  }
}

std::optional<std::string> WxUi::ChooseOpenFile(const FileDialogRequest& request) {
  long style = wxFD_OPEN;
  if (request.mustExist) style |= wxFD_FILE_MUST_EXIST;
  return RunFileDialog(Owner(), request, kOpenTitle, style);
}

std::optional<std::string> WxUi::ChooseSaveFile(const FileDialogRequest& request) {
  long style = wxFD_SAVE;
  if (request.confirmOverwrite) style |= wxFD_OVERWRITE_PROMPT;
  const std::optional<std::string> chosen = RunFileDialog(Owner(), request, kSaveTitle, style);
  if (!chosen) return std::nullopt;
  return WithDefaultExtension(*chosen, request.defaultExtension);
}

void WxUi::BeginWaitCursor() {
  wxBeginBusyCursor();
}

void WxUi::EndWaitCursor() {
  wxEndBusyCursor();
}

void WxUi::Beep() {
  wxBell();
}

void WxUi::ReportFileError(const std::string& path) {
  ShowMessage(path + " を保存中にエラーが発生しました。", MessageIcon::Stop, MessageButtons::Ok);
}

}  // namespace velmora
