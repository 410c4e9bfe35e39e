#include "view/DeviceMessages.h"

#include "io/Format.h"

namespace velmora {

std::string DeviceErrorMessage(const DeviceResult& result) {
  switch (result.failure) {
    case DeviceFailure::Prepare:
      return Format(msg::kWaveOutPrepareError, result.code);
    case DeviceFailure::Write:
    case DeviceFailure::OutputFailed:
      return Format(msg::kWaveOutWriteError, result.code);
    case DeviceFailure::Requeue:
    case DeviceFailure::InputFailed:
      return Format(msg::kWaveInError, result.code);
    case DeviceFailure::None:
    case DeviceFailure::NotOpen:
    case DeviceFailure::TooManyBlocks:
    case DeviceFailure::Open:
    case DeviceFailure::Start:
      break;
  }
  return {};
}

}  // namespace velmora
