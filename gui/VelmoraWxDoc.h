#pragma once
// The wx document around core's CVelmoraDoc: the framework's document manager holds this one;
// the title, the modified flag and the save questions are core's. It puts the document's commands
// (Open, the saves, trimming; New) on the route while it lives.

#include <wx/docview.h>

#include <memory>

#include "app/DocumentParts.h"
#include "seams/AudioDecoder.h"

namespace velmora {

class CVelmoraWxDoc : public wxDocument, public DocumentListener {
 public:
  CVelmoraWxDoc();
  ~CVelmoraWxDoc() override;

  CVelmoraDoc& core() { return parts_.doc(); }
  const CVelmoraDoc& core() const { return parts_.doc(); }

  bool OnNewDocument() override;
  // Core's save questions; asked once per close (see ConfirmClose).
  bool OnSaveModified() override;
  bool IsModified() const override;
  void Modify(bool modified) override;

  // The frame's question before it closes; afterwards the framework's own close path does not
  // ask again.
  bool ConfirmClose();

  // DocumentListener
  void OnUpdateAllViews(const DocumentNotice& notice) override;
  void OnTitleChanged(const std::string& title) override;

 private:
  // Declared first so that it outlives the document that uses it.
  std::unique_ptr<AudioDecoder> decoder_;
  DocumentParts parts_;
  bool closeConfirmed_ = false;
};

// The single template: creates CVelmoraWxDoc and CVelmoraView.
class CVelmoraTemplate : public wxDocTemplate {
 public:
  explicit CVelmoraTemplate(wxDocManager* manager);

 protected:
  wxDocument* DoCreateDocument() override;
  wxView* DoCreateView() override;
};

}  // namespace velmora
