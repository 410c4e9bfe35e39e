#pragma once
// The Ui of a program without windows or a user to ask (benchmarks, fuzzers): every message
// goes to `log` as one line (nowhere when it is null), an OK box is answered OK and every
// question No, no file is ever chosen, and there is no cursor or sound.

#include <cstdio>
#include <optional>
#include <string>

#include "seams/Ui.h"

namespace velmora {

class QuietUi : public Ui {
 public:
  explicit QuietUi(std::FILE* log = nullptr) : log_(log) {}

  Answer ShowMessage(const std::string& text, MessageIcon, MessageButtons buttons) override {
    if (log_ != nullptr) std::fprintf(log_, "message: %s\n", text.c_str());
    return buttons == MessageButtons::Ok ? Answer::Ok : Answer::No;
  }
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override { return {}; }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void Beep() override {}
  void ReportFileError(const std::string& path) override {
    if (log_ != nullptr) std::fprintf(log_, "cannot write %s\n", path.c_str());
  }

 private:
  std::FILE* log_;
};

}  // namespace velmora
