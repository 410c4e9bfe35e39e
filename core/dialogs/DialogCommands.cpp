#include "dialogs/DialogCommands.h"

#include "dialogs/AboutBox.h"
#include "dialogs/FadeSetup.h"
#include "document/CommandRules.h"
#include "document/VelmoraDoc.h"
#include "panel/MixerPanel.h"
#include "seams/CommandIds.h"

namespace velmora {

bool FadeOfCommand(int id, bool& fadeOut, int& target) {
  for (const bool out : {false, true}) {
    if (id == (out ? cmd::kFadeOutWhole : cmd::kFadeInWhole)) {
      fadeOut = out;
      target = kWholeMix;
      return true;
    }
    const int(&channels)[4] = out ? cmd::kFadeOut : cmd::kFadeIn;
    for (int i = 0; i < kChannelCount; ++i) {
      if (id == channels[i]) {
        fadeOut = out;
        target = i;
        return true;
      }
    }
  }
  return false;
}

ViewDialogCommands::ViewDialogCommands(CVelmoraDoc& doc, MixerPanel& panel, DialogWindows& windows)
    : doc_(doc), panel_(panel), windows_(windows) {}

bool ViewDialogCommands::OnCommand(int id) {
  bool fadeOut = false;
  int target = 0;
  const bool isFade = FadeOfCommand(id, fadeOut, target);
  if (!isFade && id != cmd::kProperties) return false;
  if (!QueryCommandState(doc_, id).enabled) return true;
  if (isFade) {
    EditFade(fadeOut, target);
  } else {
    windows_.RunProperties(CollectProperties(doc_));
  }
  return true;
}

bool ViewDialogCommands::HandlesCommand(int id) const {
  bool fadeOut = false;
  int target = 0;
  return id == cmd::kProperties || FadeOfCommand(id, fadeOut, target);
}

void ViewDialogCommands::EditFade(bool fadeOut, int target) {
  const FadeSetting& setting = fadeOut ? doc_.fadeOut()[target] : doc_.fadeIn()[target];
  FadeSetup setup;
  setup.target = target;
  setup.isFadeOut = fadeOut;
  setup.curve = static_cast<int32_t>(setting.curve);
  setup.time = setting.time;
  if (!windows_.RunFadeSetup(setup)) return;
  const FadeSetting edited{static_cast<FadeCurve>(setup.curve), setup.time};
  if (fadeOut) {
    doc_.SetFadeOut(target, edited);
  } else {
    doc_.SetFadeIn(target, edited);
  }
  panel_.MarkMixStale(true);
}

bool AboutCommand::OnCommand(int id) {
  if (id != cmd::kAbout) return false;
  windows_.RunAbout(about_);
  return true;
}

bool AboutCommand::HandlesCommand(int id) const {
  return id == cmd::kAbout;
}

}  // namespace velmora
