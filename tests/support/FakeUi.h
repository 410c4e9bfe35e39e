#pragma once
// A scripted Ui: answers questions and file choosers from queues and records every message.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "seams/Ui.h"

namespace velmora::test {

struct ShownMessage {
  std::string text;
  MessageIcon icon;
  MessageButtons buttons;
};

class FakeUi : public Ui {
 public:
  Answer ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  void BeginWaitCursor() override {
    ++waitDepth;
    ++waitCursorShown;
  }
  void EndWaitCursor() override { --waitDepth; }
  void Beep() override { ++beeps; }
  void ReportFileError(const std::string& path) override { fileErrors.push_back(path); }
  void ShowSystemReason(const std::string& path, const std::string& reason) override {
    reasons.push_back(path + ": " + reason);
  }

  // Texts of every message shown so far, in order.
  std::vector<std::string> Texts() const;

  std::deque<Answer> answers;                          // for questions; an empty queue answers No
  std::deque<std::optional<std::string>> openChoices;  // empty queue = cancel
  std::deque<std::optional<std::string>> saveChoices;
  std::vector<ShownMessage> messages;
  std::vector<FileDialogRequest> openRequests;
  std::vector<FileDialogRequest> saveRequests;
  std::vector<std::string> fileErrors;
  std::vector<std::string> reasons;  // "path: reason", in order
  int waitDepth = 0;
  int waitCursorShown = 0;
  int beeps = 0;
};

}  // namespace velmora::test
