#pragma once
// The one shape every failure in core is reported in: what failed, where, and the code and words
// the system gave. Core only reports; the part that owns the user interface (the document, the
// view, velmora-mix) turns a failure into the program's messages, each in one place.

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace velmora {

enum class FailureKind {
  None,  // only a successful Result's what()

  // Reading a file into a channel.
  CannotOpen,         // the file cannot be opened
  WrongType,          // a name the program reads nothing from (not .wav or .wma)
  TruncatedHeader,    // the file ends inside the 36-byte header or the fmt chunk
  NotPcm,             // format tag other than PCM (or extensible with another sub-format)
  ShortHeader,        // fmt size below 16
  UnsupportedFormat,  // not 1 or 2 channels, not 8 or 16 bits, or a rate the program cannot play
  RateMismatch,       // the rate clashes with the loaded channels
  NoDataChunk,        // the file ends before a data chunk, or a chunk before it runs past the end
  OutOfMemory,
  ReadFailed,  // the samples could not be read

  // Importing a compressed file: the step where the decoder stopped (systemCode = its code).
  NoDecoder,       // the program has no decoder for compressed files
  NetworkStream,   // the path names a network stream; the decoder is not asked
  DecoderOpen,     // the decoder could not open the file
  NoAudioStream,   // the file holds no audio stream
  DecodeBlock,     // the decoder failed on a block
  CollectSamples,  // no memory for the samples, or a format without whole frames

  // Reading a project.
  ProjectUnreadable,  // not a project of this program, or a line it cannot take (offset = line)
  ProjectVersion,     // a project of another version (systemCode = that version)
  // Writing a file.
  SaveFailed,   // a WAV file (the mix, the marked stretch, a channel) was not written
  WriteFailed,  // another file was not written

  // A wave device (systemCode = the sound system's code).
  DeviceNotOpen,     // the stream was not open; nothing was done
  TooManyBlocks,     // more blocks than the ring holds at an open
  DeviceOpen,        // the sound system refused the stream
  DeviceStart,       // the stream opened but would not start
  BlockStillQueued,  // a refill found its ring slot still holding an unreturned block
  OutputWrite,       // the output stream has failed, so a refill could not hand it a block
  Requeue,           // an input block could not be handed back to the device
  OutputFailed,      // the output stream stopped by itself (device gone, sound server died)
  InputFailed,       // the input stream stopped by itself
};

struct Failure {
  FailureKind what = FailureKind::None;
  std::string where;    // the file's path or the device; empty when nothing names it
  int systemCode = 0;   // errno, the decoder's or the sound system's code; 0 when none was given
  std::string reason;   // the system's own words ("No such file or directory"); empty when none
  uint64_t offset = 0;  // where in the file a reader's check looked
};

// A failure the system gave no code or words for.
inline Failure FailureOf(FailureKind what, std::string where = {}) {
  return Failure{what, std::move(where), 0, {}, 0};
}

// A failure of the file `path` for the system's reason `why` (no reason when `why` is clear).
// A reason of the program's own (a pipe refused as "not a regular file") carries no code.
inline Failure FileFailure(FailureKind what, std::string path, const std::error_code& why) {
  Failure failure{what, std::move(path), 0, {}, 0};
  if (!why) return failure;
  const bool systems =
      why.category() == std::generic_category() || why.category() == std::system_category();
  failure.systemCode = systems ? why.value() : 0;
  failure.reason = why.message();
  return failure;
}

// What an operation that can fail returns: success, or the one failure that stopped it.
class Result {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: `return Failure{...};`

  bool ok() const { return !failure_.has_value(); }
  explicit operator bool() const { return ok(); }
  FailureKind what() const { return failure_ ? failure_->what : FailureKind::None; }
  // Only of a result that is not ok().
  const Failure& failure() const { return *failure_; }
  Failure& failure() { return *failure_; }

 private:
  std::optional<Failure> failure_;
};

}  // namespace velmora
