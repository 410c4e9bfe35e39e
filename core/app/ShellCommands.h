#pragma once
// The commands that the document and the application object answer, as route targets, and the
// loading of files named on the command line.

#include <string>
#include <vector>

#include "seams/CommandIds.h"
#include "seams/CommandTarget.h"

namespace velmora {

class CVelmoraDoc;

// Open, Save, Save As, the marks stretch, saving one channel and trimming.
class DocumentCommands : public CommandTarget {
 public:
  explicit DocumentCommands(CVelmoraDoc& doc) : doc_(doc) {}
  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override;

 private:
  CVelmoraDoc& doc_;
};

// New: the save questions, then a fresh document and a refresh of the views.
class NewDocumentCommand : public CommandTarget {
 public:
  explicit NewDocumentCommand(CVelmoraDoc& doc) : doc_(doc) {}
  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override { return id == cmd::kNew; }

 private:
  CVelmoraDoc& doc_;
};

// Loads each file into the next free channel as Open would, in order; once the four channels
// are full the 'no empty slot' message is shown and the remaining files are left.
void OpenStartupFiles(CVelmoraDoc& doc, const std::vector<std::string>& paths);

}  // namespace velmora
