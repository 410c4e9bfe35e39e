#include "VelmoraWxDoc.h"

#include "MainFrame.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "app/CommandRouter.h"
#include "media/FfmpegAudioDecoder.h"

namespace velmora {

CVelmoraWxDoc::CVelmoraWxDoc()
    : decoder_(std::make_unique<FfmpegAudioDecoder>()),
      core_(std::make_unique<CVelmoraDoc>(TheApp().ui())),
      commands_(std::make_unique<DocumentCommands>(*core_)) {
  core_->SetListener(this);
  core_->SetAudioDecoder(decoder_.get());
  TheApp().router().SetDocument(core_.get());
  TheApp().router().Add(RouteLevel::Document, commands_.get());
}

CVelmoraWxDoc::~CVelmoraWxDoc() {
  TheApp().router().Remove(commands_.get());
  TheApp().router().SetDocument(nullptr);
  core_->SetListener(nullptr);
}

bool CVelmoraWxDoc::OnNewDocument() {
  SetDocumentSaved(false);
  return core_->OnNewDocument();
}

bool CVelmoraWxDoc::OnSaveModified() {
  return closeConfirmed_ || core_->SaveModified();
}

bool CVelmoraWxDoc::IsModified() const {
  return core_->IsModified();
}

void CVelmoraWxDoc::Modify(bool modified) {
  core_->SetModifiedFlag(modified);
}

bool CVelmoraWxDoc::ConfirmClose() {
  closeConfirmed_ = core_->SaveModified();
  return closeConfirmed_;
}

void CVelmoraWxDoc::OnUpdateAllViews(const DocumentNotice& notice) {
  for (wxView* view : GetViewsVector()) static_cast<CVelmoraView*>(view)->NotifyUpdate(notice);
}

void CVelmoraWxDoc::OnTitleChanged(const std::string& title) {
  SetTitle(wxString::FromUTF8(title.c_str()));
  if (CMainFrame* frame = TheApp().frame()) frame->ShowDocumentTitle(title);
}

CVelmoraTemplate::CVelmoraTemplate(wxDocManager* manager)
    : wxDocTemplate(manager, wxString::FromUTF8("Velmora ﾌｧｲﾙ(*.wav)"), "*.wav", wxEmptyString,
                    "wav", "Velmora.Document", "Velmora.Document", nullptr, nullptr) {}

wxDocument* CVelmoraTemplate::DoCreateDocument() {
  return new CVelmoraWxDoc;
}

wxView* CVelmoraTemplate::DoCreateView() {
  return new CVelmoraView;
}

}  // namespace velmora
