#include "document/FailureMessages.h"

#include <cstdint>

#include "document/VelmoraDoc.h"
#include "io/Format.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

// The compressed-file import's texts, as the decoder's steps say them.
constexpr const char* kStreamsNotSupported =
    "Wrong input file - streams are not supported : (hr=0x%08x).\n";
constexpr const char* kCouldNotOpenFile = "Could not open file (hr=0x%08x).\n";
constexpr const char* kNoAudioStream = "Could not find an audio stream in the specified file";
constexpr const char* kCouldNotGetAudioOutput = "Could not get audio output (hr=0x%08x).\n";
constexpr const char* kNextSampleFailed = "GetNextSample() failed : (hr=0x%08x).\n";
constexpr const char* kCannotOpenReader = "Cannot open reader: hr = 0x%08x\n";
constexpr const char* kReadSamplesFailed = "ReadSamples failed: hr = 0x%08x\n";
constexpr const char* kReaderFailed = "WMSyncReader failed (hr=0x%08x).\n";

// A decoder's steps each show their own chain, ending in the general failure; empty for a kind
// that is no step of the decoder's.
std::vector<std::string> DecoderMessages(FailureKind what, int systemCode) {
  const auto code = static_cast<unsigned>(static_cast<uint32_t>(systemCode));
  std::vector<std::string> chain;
  switch (what) {
    case FailureKind::NetworkStream:
      chain = {Format(kStreamsNotSupported, 0u), Format(kCannotOpenReader, code)};
      break;
    case FailureKind::DecoderOpen:
      chain = {Format(kCouldNotOpenFile, code), Format(kCannotOpenReader, code)};
      break;
    case FailureKind::NoAudioStream:
      chain = {Format("%s (hr=%#X)", kNoAudioStream, code), Format(kCouldNotGetAudioOutput, code),
               Format(kCannotOpenReader, code)};
      break;
    case FailureKind::DecodeBlock:
      chain = {Format(kNextSampleFailed, code), Format(kReadSamplesFailed, code)};
      break;
    case FailureKind::CollectSamples:
      chain = {Format(kReadSamplesFailed, code)};
      break;
    default:
      return {};
  }
  chain.push_back(Format(kReaderFailed, code));
  return chain;
}

}  // namespace

std::vector<std::string> FailureMessages(const Failure& failure) {
  switch (failure.what) {
    case FailureKind::NotPcm:
      return {msg::kNotPcm};
    case FailureKind::ShortHeader:
      return {msg::kShortHeader};
    case FailureKind::UnsupportedFormat:
      return {msg::kUnsupportedFormat};
    case FailureKind::RateMismatch:
      return {msg::kRateMismatch};
    case FailureKind::OutOfMemory:
      return {msg::kOutOfMemory};
    case FailureKind::WrongType:
      return {msg::kWrongType};
    // The reader says no more than that the file could not be read.
    case FailureKind::CannotOpen:
    case FailureKind::TruncatedHeader:
    case FailureKind::NoDataChunk:
    case FailureKind::ReadFailed:
    case FailureKind::NoDecoder:
      return {msg::kReadFailed};
    case FailureKind::NetworkStream:
    case FailureKind::DecoderOpen:
    case FailureKind::NoAudioStream:
    case FailureKind::DecodeBlock:
    case FailureKind::CollectSamples:
      return DecoderMessages(failure.what, failure.systemCode);
    case FailureKind::SaveFailed:
      return {msg::kSaveFailed};
    case FailureKind::ProjectUnreadable:
      return {msg::kProjectUnreadable};
    case FailureKind::ProjectVersion:
      return {msg::kProjectVersion};
    case FailureKind::None:
    case FailureKind::WriteFailed:
    case FailureKind::DeviceNotOpen:
    case FailureKind::TooManyBlocks:
    case FailureKind::DeviceOpen:
    case FailureKind::DeviceStart:
    case FailureKind::BlockStillQueued:
    case FailureKind::OutputWrite:
    case FailureKind::Requeue:
    case FailureKind::OutputFailed:
    case FailureKind::InputFailed:
      break;
  }
  return {};
}

void ShowFailure(Ui& ui, const Failure& failure) {
  for (const std::string& text : FailureMessages(failure)) ui.ShowError(text);
  if (!failure.reason.empty()) ui.ShowSystemReason(failure.where, failure.reason);
}

}  // namespace velmora
