#include "VelmoraWxDoc.h"

#include "MainFrame.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "app/CommandRouter.h"
#include "media/FfmpegAudioDecoder.h"

namespace velmora {

CVelmoraWxDoc::CVelmoraWxDoc()
    : decoder_(std::make_unique<FfmpegAudioDecoder>()), parts_(TheApp().ui(), decoder_.get()) {
  core().SetListener(this);
  TheApp().router().SetDocument(&core());
  TheApp().router().Add(RouteLevel::Document, &parts_.documentCommands());
  TheApp().router().Add(RouteLevel::Application, &parts_.newCommand());
}

CVelmoraWxDoc::~CVelmoraWxDoc() {
  TheApp().router().Remove(&parts_.newCommand());
  TheApp().router().Remove(&parts_.documentCommands());
  TheApp().router().SetDocument(nullptr);
  core().SetListener(nullptr);
}

bool CVelmoraWxDoc::OnNewDocument() {
  SetDocumentSaved(false);
  return core().OnNewDocument();
}

bool CVelmoraWxDoc::OnSaveModified() {
  return closeConfirmed_ || core().SaveModified();
}

bool CVelmoraWxDoc::IsModified() const {
  return core().IsModified();
}

void CVelmoraWxDoc::Modify(bool modified) {
  core().SetModifiedFlag(modified);
}

bool CVelmoraWxDoc::ConfirmClose() {
  closeConfirmed_ = core().SaveModified();
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
