#include "ConsoleUi.h"

#include <vector>

#include "document/FailureMessages.h"

namespace velmora::cli {

Answer ConsoleUi::ShowMessage(const std::string& text, MessageIcon /*icon*/,
                              MessageButtons buttons) {
  Print(text);
  return buttons == MessageButtons::Ok ? Answer::Ok : Answer::No;
}

void ConsoleUi::ReportFileError(const std::string& path) {
  Print("cannot write " + path);
}

void ConsoleUi::ShowSystemReason(const std::string& path, const std::string& reason) {
  std::fprintf(out_, "velmora-mix: %s: %s\n", path.c_str(), reason.c_str());
  std::fflush(out_);
}

void ConsoleUi::Print(const std::string& text) {
  std::fprintf(out_, "velmora-mix: %s\n", text.c_str());
  std::fflush(out_);
}

void ConsoleUi::ShowFailure(const Failure& failure) {
  const std::vector<std::string> texts = failure.what == FailureKind::WriteFailed
                                             ? std::vector<std::string>{"cannot write"}
                                             : FailureMessages(failure);
  for (const std::string& text : texts) Print(failure.where + ": " + text);
  if (!failure.reason.empty()) ShowSystemReason(failure.where, failure.reason);
}

}  // namespace velmora::cli
