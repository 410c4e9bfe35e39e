#include "app/ShellCommands.h"

#include "document/VelmoraDoc.h"
#include "seams/CommandIds.h"
#include "seams/Ui.h"

namespace velmora {

bool DocumentCommands::HandlesCommand(int id) const {
  using namespace cmd;
  return id == kOpen || id == kSave || id == kSaveAs || id == kSaveBetweenMarks ||
         ChannelOf(id, kSaveChannel) >= 0 || ChannelOf(id, kTrim) >= 0;
}

bool DocumentCommands::OnCommand(int id) {
  using namespace cmd;
  switch (id) {
    case kOpen:
      doc_.OpenFileCommand();
      return true;
    case kSave:
      doc_.OnFileSave();
      return true;
    case kSaveAs:
      doc_.SaveMixAs();
      return true;
    case kSaveBetweenMarks:
      doc_.SaveBetweenMarks();
      return true;
    default:
      break;
  }
  if (const int i = ChannelOf(id, kSaveChannel); i >= 0) {
    doc_.SaveChannel(i);
    return true;
  }
  if (const int i = ChannelOf(id, kTrim); i >= 0) {
    doc_.TrimToMarks(i);
    return true;
  }
  return false;
}

bool NewDocumentCommand::OnCommand(int id) {
  if (id != cmd::kNew) return false;
  if (doc_.SaveModified() && doc_.OnNewDocument()) doc_.UpdateAllViews();
  return true;
}

void OpenStartupFiles(CVelmoraDoc& doc, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (doc.FirstEmptySlot() < 0) {
      doc.ui().ShowError(msg::kNoEmptySlot);
      return;
    }
    doc.OpenPath(path);
  }
}

}  // namespace velmora
