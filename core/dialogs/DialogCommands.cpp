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

void ViewDialogCommands::EditFade(bool fadeOut, int target) {
  FadeSetting& setting = fadeOut ? doc_.fadeOut[target] : doc_.fadeIn[target];
  FadeSetup setup;
  setup.target = target;
  setup.isFadeOut = fadeOut ? 1 : 0;
  setup.curve = static_cast<int32_t>(setting.curve);
  setup.time = setting.time;
  if (!windows_.RunFadeSetup(setup)) return;
  setting.curve = static_cast<FadeCurve>(setup.curve);
  setting.time = setup.time;
  panel_.MarkMixStale(1);
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
