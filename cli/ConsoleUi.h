#pragma once
// The Ui seam on a terminal: every message the document shows goes to standard error, in the
// order shown, and every question is answered No. There are no file choosers and no cursor.

#include <cstdio>
#include <string>

#include "io/Failure.h"
#include "seams/Ui.h"

namespace velmora::cli {

class ConsoleUi : public Ui {
 public:
  explicit ConsoleUi(std::FILE* out = stderr) : out_(out) {}

  Answer ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override { return {}; }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void Beep() override {}
  void ReportFileError(const std::string& path) override;
  // "velmora-mix: PATH: REASON" on the line after the program's message.
  void ShowSystemReason(const std::string& path, const std::string& reason) override;

  // Prints one line of the program's own.
  void Print(const std::string& text);
  // The one way velmora-mix tells a failure: each of the document's messages for it (a file other
  // than a WAV file: "cannot write") as "velmora-mix: WHERE: TEXT", then the system's reason.
  void ShowFailure(const Failure& failure);

 private:
  std::FILE* out_;
};

}  // namespace velmora::cli
