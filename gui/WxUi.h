#pragma once
// The Ui seam on wx dialogs: message boxes kept on top and captioned "Velmora", the file
// choosers, the busy cursor and the bell.

#include "seams/Ui.h"

class wxWindow;

namespace velmora {

class WxUi : public Ui {
 public:
  Answer ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void Beep() override;
  void ReportFileError(const std::string& path) override;

 private:
  static wxWindow* Owner();
};

}  // namespace velmora
