#include "recorder/RecordSetup.h"

#include <algorithm>

#include "audio/FormatMask.h"
#include "dialogs/DialogFields.h"
#include "document/VelmoraDoc.h"
#include "recorder/Recorder.h"
#include "seams/CommandIds.h"
#include "seams/Ui.h"
#include "view/ViewSettings.h"

namespace velmora {

int RecordRateIndex(uint32_t rate) {
  for (size_t i = 0; i < kRecordRates.size(); ++i) {
    if (kRecordRates[i].rate == rate) return static_cast<int>(i);
  }
  return -1;
}

bool RecordSetup::OnSpinDelta(int delta) {
  const int64_t next = int64_t{seconds} + delta;
  if (next < 0 || next > kMaxSelfTimerSeconds) {
    seconds = next < 0 ? 0 : kMaxSelfTimerSeconds;
    return false;
  }
  seconds = static_cast<int32_t>(next);
  return true;
}

void RecordSetup::OnSecondsText(const std::string& text) {
  // Already within the int range: a larger number is clamped to it.
  if (const std::optional<int64_t> value = ParseIntegerField(text)) {
    seconds = static_cast<int32_t>(*value);
  }
}

void RecordSetup::OnAutoLevelScroll(ScrollCode code, int trackBarPosition) {
  switch (code) {
    case ScrollCode::LineUp:
      autoLevel = std::max(autoLevel - 1, 0);
      break;
    case ScrollCode::LineDown:
      autoLevel = std::min(autoLevel + 1, kMaxAutoStartLevel);
      break;
    case ScrollCode::EndScroll:
      autoLevel = std::clamp(trackBarPosition, 0, kMaxAutoStartLevel);
      break;
    default:
      break;
  }
}

std::optional<std::string> RecordSetup::Accept(const std::string& secondsText) {
  return AcceptIntegerField(secondsText, 0, kMaxSelfTimerSeconds, seconds);
}

RecordSetupCommand::RecordSetupCommand(const ViewContext& context, RecordOptions& options,
                                       RecordSetupWindow& window)
    : doc_(context.doc),
      ui_(context.ui),
      view_(context.settings),
      options_(options),
      window_(window) {}

bool RecordSetupCommand::HandlesCommand(int id) const {
  return id == cmd::kRecordSetup;
}

bool RecordSetupCommand::OnCommand(int id) {
  if (id != cmd::kRecordSetup) return false;
  Run();
  return true;
}

void RecordSetupCommand::Run() {
  for (;;) {
    const int index = RecordRateIndex(view_.recordRate);
    if (index < 0) {
      ui_.ShowError(msg::kCannotChangeSettings);
      return;
    }
    RecordSetup dialog;
    dialog.rateIndex = index;
    dialog.autoLevel = options_.autoStartLevel;
    dialog.bitsChoice = view_.recordBits == 8 ? 1 : 0;
    dialog.beeps = options_.beepBeforeStart;
    dialog.channelsChoice = view_.recordChannels == 1 ? 1 : 0;
    dialog.simultaneous = options_.simultaneousPlayback;
    dialog.seconds = options_.selfTimerSeconds;
    if (!window_.Run(dialog)) return;

    const int chosen = std::clamp(dialog.rateIndex, 0, static_cast<int>(kRecordRates.size()) - 1);
    const uint32_t family = chosen <= 2 ? 48000 : 11025;
    if (!doc_.IsRateCompatible(static_cast<int32_t>(family))) {
      ui_.ShowError(msg::kRecordRateMismatch);
      continue;
    }
    const uint32_t rate = kRecordRates[chosen].rate;
    const uint16_t bits = dialog.bitsChoice == 1 ? 8 : 16;
    const uint16_t channels = dialog.channelsChoice == 1 ? 1 : 2;
    if ((view_.maxInputFormats & FormatBit(rate, bits, channels)) == 0 &&
        ui_.ShowMessage(msg::kUnsupportedRecordFormat, MessageIcon::Warning,
                        MessageButtons::YesNo) != Answer::Yes) {
      continue;
    }
    view_.recordRate = rate;
    view_.blockFrames = kRecordRates[chosen].blockFrames;
    view_.recordBlockFrames = kRecordRates[chosen].blockFrames;
    view_.recordChannels = channels;
    options_.autoStartLevel = dialog.autoLevel;
    view_.recordBits = bits;
    options_.simultaneousPlayback = dialog.simultaneous;
    options_.selfTimerSeconds = dialog.seconds;
    options_.beepBeforeStart = dialog.beeps;
    return;
  }
}

}  // namespace velmora
