#include "support/FakeUi.h"

namespace velmora::test {

namespace {

template <typename T>
std::optional<std::string> Next(std::deque<std::optional<std::string>>& queue, T& requests,
                                const FileDialogRequest& request) {
  requests.push_back(request);
  if (queue.empty()) return std::nullopt;
  std::optional<std::string> choice = queue.front();
  queue.pop_front();
  return choice;
}

}  // namespace

Answer FakeUi::ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) {
  messages.push_back({text, icon, buttons});
  if (buttons == MessageButtons::Ok) return Answer::Ok;
  if (answers.empty()) return Answer::No;
  const Answer answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<std::string> FakeUi::ChooseOpenFile(const FileDialogRequest& request) {
  return Next(openChoices, openRequests, request);
}

std::optional<std::string> FakeUi::ChooseSaveFile(const FileDialogRequest& request) {
  return Next(saveChoices, saveRequests, request);
}

std::vector<std::string> FakeUi::Texts() const {
  std::vector<std::string> texts;
  for (const ShownMessage& m : messages) texts.push_back(m.text);
  return texts;
}

}  // namespace velmora::test
