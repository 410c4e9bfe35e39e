#pragma once
// The benchmarks' Ui: prints any message to standard error and answers OK; no dialogs.

#include <cstdio>
#include <optional>
#include <string>

#include "seams/Ui.h"

namespace velmora::bench {

class QuietUi : public Ui {
 public:
  Answer ShowMessage(const std::string& text, MessageIcon, MessageButtons) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return Answer::Ok;
  }
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override { return {}; }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void Beep() override {}
  void ReportFileError(const std::string&) override {}
};

}  // namespace velmora::bench
