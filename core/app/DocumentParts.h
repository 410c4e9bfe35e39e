#pragma once
// The document put together in core with the commands that act on it as a whole: the document's
// own (Open, the saves, trimming) and the application's New. The window layer's document holds
// one and registers its commands on the route.

#include "app/ShellCommands.h"
#include "document/VelmoraDoc.h"

namespace velmora {

class AudioDecoder;
class Ui;

class DocumentParts {
 public:
  // Both must outlive the parts; a null decoder leaves compressed files unreadable.
  DocumentParts(Ui& ui, AudioDecoder* decoder);
  DocumentParts(const DocumentParts&) = delete;
  DocumentParts& operator=(const DocumentParts&) = delete;

  CVelmoraDoc& doc() { return doc_; }
  const CVelmoraDoc& doc() const { return doc_; }
  CommandTarget& documentCommands() { return documentCommands_; }  // on the document's route
  CommandTarget& newCommand() { return newCommand_; }              // on the application's route

 private:
  CVelmoraDoc doc_;
  DocumentCommands documentCommands_;
  NewDocumentCommand newCommand_;
};

}  // namespace velmora
