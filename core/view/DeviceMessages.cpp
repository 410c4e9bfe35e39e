#include "view/DeviceMessages.h"

#include "io/Format.h"
#include "seams/Ui.h"

namespace velmora {

std::string DeviceErrorMessage(const Result& result) {
  if (result.ok()) return {};
  const int code = result.failure().systemCode;
  switch (result.what()) {
    case FailureKind::BlockStillQueued:
      return Format(msg::kWaveOutPrepareError, code);
    case FailureKind::OutputWrite:
    case FailureKind::OutputFailed:
      return Format(msg::kWaveOutWriteError, code);
    case FailureKind::Requeue:
    case FailureKind::InputFailed:
      return Format(msg::kWaveInError, code);
    default:
      break;
  }
  return {};
}

void ShowDeviceError(Ui& ui, const Result& result) {
  if (const std::string text = DeviceErrorMessage(result); !text.empty()) ui.ShowError(text);
}

}  // namespace velmora
