#pragma once
// A file's new content, written beside it and put in its place only once complete, so that a
// write that fails or is interrupted never destroys the file it was to replace.
//
// The content goes into a unique hidden name in the target's folder (so that the final rename
// stays on one file system), created readable by its owner only. Commit flushes it to the disk,
// gives it the target's mode (or a new file's) and renames it over the target. Until then it is
// the file RemoveFileOnInterrupt removes, and the destructor removes it unless Commit succeeded.
// A symbolic link is followed, so that the link stays a link; a folder or another file that is
// not a regular file (a pipe, a device) is refused. Called by one thread at a time (the
// user-interface thread or the command-line renderer); one replacement at a time per process,
// since the interrupt handler knows one name.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <system_error>

#include "io/Failure.h"
#include "io/File.h"

namespace velmora {

class ReplacingFile {
 public:
  // `utf8Path` names the file to replace or to make; nothing is touched before Open.
  explicit ReplacingFile(const std::string& utf8Path);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Checks the target and creates the temporary file; false with the system's reason.
  bool Open(std::error_code& why);
  // The new content, written from offset 0, seeking as the writer likes; open after Open.
  File& file() { return file_; }
  // Puts the complete new content in the target's place; false with the system's reason, and the
  // target as it was.
  bool Commit(std::error_code& why);

 private:
  std::string path_;
  std::filesystem::path target_;     // the path with a symbolic link followed; set by Open
  std::filesystem::path temporary_;  // empty until created
  File file_;
  bool committed_ = false;
};

struct ByteSpan {
  const uint8_t* data = nullptr;
  std::size_t size = 0;
};

// Writes `pieces` one after another as the whole content of `utf8Path`, replacing it as above.
// A failure is WriteFailed, with the system's reason.
Result WriteWholeFile(const std::string& utf8Path, std::initializer_list<ByteSpan> pieces);

}  // namespace velmora
