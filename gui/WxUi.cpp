#include "WxUi.h"

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "app/FileFilter.h"

namespace velmora {

namespace {

constexpr const char* kCaption = "Velmora";

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
                                         long style) {
#ifdef __WXGTK__
  const bool anyCase = true;  // GTK's patterns are case-sensitive; Windows' are not
#else
  const bool anyCase = false;
#endif
  wxFileDialog dialog(owner, FromUtf8(request.title), wxEmptyString, wxEmptyString,
                      FromUtf8(ToolkitWildcard(request.filter, anyCase)), style);
  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
  return dialog.GetPath().utf8_string();
}

}  // namespace

wxWindow* WxUi::Owner() {
  return wxTheApp != nullptr ? wxTheApp->GetTopWindow() : nullptr;
}

Answer WxUi::ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) {
  wxMessageDialog dialog(Owner(), FromUtf8(text), kCaption,
                         IconStyle(icon) | ButtonStyle(buttons) | wxSTAY_ON_TOP | wxCENTRE);
  dialog.SetYesNoCancelLabels("はい(&Y)", "いいえ(&N)", "キャンセル");
  dialog.SetOKLabel("OK");
  switch (dialog.ShowModal()) {
    case wxID_YES:
      return Answer::Yes;
    case wxID_NO:
      return Answer::No;
    case wxID_CANCEL:
      return buttons == MessageButtons::Ok ? Answer::Ok : Answer::Cancel;
    default:
      return Answer::Ok;
  }
}

std::optional<std::string> WxUi::ChooseOpenFile(const FileDialogRequest& request) {
  long style = wxFD_OPEN;
  if (request.mustExist) style |= wxFD_FILE_MUST_EXIST;
  return RunFileDialog(Owner(), request, style);
}

std::optional<std::string> WxUi::ChooseSaveFile(const FileDialogRequest& request) {
  long style = wxFD_SAVE;
  if (request.confirmOverwrite) style |= wxFD_OVERWRITE_PROMPT;
  const std::optional<std::string> chosen = RunFileDialog(Owner(), request, style);
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
