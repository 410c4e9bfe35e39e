#include "document/WavWriter.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>

#include "document/VelmoraDoc.h"
#include "io/File.h"
#include "io/InterruptCleanup.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmora {

namespace fs = std::filesystem;

namespace {

std::error_code LastSystemError() {
  return {errno != 0 ? errno : EIO, std::generic_category()};
}

// Where the bytes really go: a symbolic link is followed so that the link itself stays a link.
fs::path ResolveTarget(const fs::path& path) {
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(path, error))) {
    fs::path resolved = fs::canonical(path, error);
    if (!error) return resolved;
  }
  return path;
}

std::string RandomSuffix() {
  static std::random_device device;
  static std::mt19937_64 generator((static_cast<uint64_t>(device()) << 32) ^ device());
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(generator()));
  return text;
}

// The longest file name, in bytes, that the folder's file system takes.
std::size_t NameLimitOf(const fs::path& folder) {
#ifndef _WIN32
  const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  if (limit > 0) return static_cast<std::size_t>(limit);
#else
  (void)folder;
#endif
  return 255;
}

// The first `bytes` bytes of UTF-8 text, not cutting a character in two.
std::string Utf8Prefix(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
  return text.substr(0, bytes);
}

// A hidden name in the target's folder, so that the final rename stays on one file system. The
// target's name is shortened where needed, so that any name the folder takes gives one too.
fs::path TemporaryNameBeside(const fs::path& target) {
  const fs::path folder = target.parent_path();
  const std::string suffix = "." + RandomSuffix() + ".tmp";
  const std::size_t limit = NameLimitOf(folder);
  const std::size_t room = limit > suffix.size() + 1 ? limit - suffix.size() - 1 : 0;
  return folder / fs::u8path("." + Utf8Prefix(target.filename().u8string(), room) + suffix);
}

#ifndef _WIN32
// The process's file-creation mask, read without changing it.
mode_t CurrentUmask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[128];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask);
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}
#endif

// The mode the saved file ends with: an existing target's own, otherwise what a new file gets.
fs::perms FinalPermissions(const fs::path& target) {
  std::error_code error;
  const fs::file_status old = fs::status(target, error);
  if (!error && fs::is_regular_file(old)) return old.permissions();
#ifndef _WIN32
  return static_cast<fs::perms>(0666 & ~CurrentUmask());
#else
  return fs::perms::owner_read | fs::perms::owner_write;
#endif
}

bool WritePieces(File& file, std::initializer_list<ByteSpan> pieces, std::error_code& why) {
  for (const ByteSpan& piece : pieces) {
    errno = 0;
    if (!file.Write(piece.data, piece.size)) {
      why = LastSystemError();
      return false;
    }
  }
  return true;
}

// The new content under a temporary name, private to its owner while it is written; removed
// unless it was renamed over the target. Its name is left for an interrupt handler to remove
// while it exists.
class PendingFile {
 public:
  explicit PendingFile(const fs::path& target) : target_(target) {}
  ~PendingFile() {
    if (!created_ || renamed_) return;
    file_.Close();
    RemoveFile(temporary_.u8string());
    ForgetFileToRemoveOnInterrupt();
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  bool Open(std::error_code& why) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      temporary_ = TemporaryNameBeside(target_);
      // Named before it exists, so that no moment leaves it behind unnamed.
      RememberFileToRemoveOnInterrupt(temporary_.u8string());
      created_ = file_.CreateNew(temporary_.u8string(), &why);
      if (created_) return true;
      ForgetFileToRemoveOnInterrupt();
      if (why != std::errc::file_exists) return false;
    }
    return false;
  }
  File& file() { return file_; }

  // Flushes to the disk, gives the new file the target's mode, then puts it in the target's place.
  bool Commit(std::error_code& why) {
    errno = 0;
    const bool synced = file_.Sync();
    if (!synced) why = LastSystemError();
    errno = 0;
    const bool closed = file_.Close();
    if (synced && !closed) why = LastSystemError();
    if (!synced || !closed) return false;
    std::error_code ignored;
    fs::permissions(temporary_, FinalPermissions(target_), ignored);
    fs::rename(temporary_, target_, why);
    renamed_ = !why;
    if (renamed_) ForgetFileToRemoveOnInterrupt();
    return renamed_;
  }

 private:
  fs::path target_;
  fs::path temporary_;
  File file_;
  bool created_ = false;
  bool renamed_ = false;
};

}  // namespace

bool WriteWholeFile(const std::string& path, std::initializer_list<ByteSpan> pieces,
                    std::error_code* why) {
  return WriteWholeFileWith(
      path,
      [pieces](File& file, std::error_code& error) { return WritePieces(file, pieces, error); },
      why);
}

bool WriteWholeFileWith(const std::string& path, const FileContent& content, std::error_code* why) {
  std::error_code error;
  const fs::path target = ResolveTarget(fs::u8path(path));
  const fs::file_status status = fs::status(target, error);
  error.clear();
  bool written = false;
  if (path.empty()) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
  } else if (fs::is_directory(status)) {
    error = std::make_error_code(std::errc::is_a_directory);
  } else if (fs::exists(status) && !fs::is_regular_file(status)) {
    // A pipe would hold the program until someone reads it, and a device has no file to keep.
    error = NotARegularFileError();
  } else {
    PendingFile pending(target);
    written = pending.Open(error) && content(pending.file(), error) && pending.Commit(error);
  }
  if (why != nullptr) *why = error;
  return written;
}

bool WriteWavFile(const std::string& path, const RiffHeader& riff, const ChunkHeader& data,
                  const uint8_t* samples, std::error_code* why) {
  uint8_t head[RiffHeader::kBytes];
  uint8_t chunk[ChunkHeader::kBytes];
  riff.Encode(head);
  data.Encode(chunk);
  return WriteWholeFile(path, {{head, sizeof head}, {chunk, sizeof chunk}, {samples, data.size}},
                        why);
}

bool FitsInWav(uint32_t frames, int blockAlign) {
  const uint64_t bytes = static_cast<uint64_t>(frames) * static_cast<uint64_t>(blockAlign);
  return bytes + RiffHeader::kBytes <= std::numeric_limits<uint32_t>::max();
}

bool CVelmoraDoc::WriteMixFile(const std::string& path, uint32_t first, uint32_t frames,
                               std::error_code* why) {
  // The samples are written in the format they were mixed in; an empty mix has no buffer and
  // takes the output format.
  const MixFormat format = HasMix() ? mixFormat_ : MixFormat{MixRate(), MixBits()};
  const int bits = format.bits;
  const int blockAlign = 2 * bits / 8;
  const uint64_t begin = static_cast<uint64_t>(first) * static_cast<uint64_t>(blockAlign);
  const uint64_t length = static_cast<uint64_t>(frames) * static_cast<uint64_t>(blockAlign);
  if (!FitsInWav(frames, blockAlign)) {
    if (why != nullptr) *why = std::make_error_code(std::errc::file_too_large);
    return false;
  }
  if (length > 0 && begin + length > mixBuffer_.size()) {
    if (why != nullptr) *why = std::make_error_code(std::errc::invalid_argument);
    return false;
  }
  OutHeader header = outHeader_;
  FillCanonical(header.riff, header.data, 2, static_cast<int>(format.rate), bits, frames);
  // The document's output format follows its channels: a stale mix of an earlier format, saved
  // after a load, leaves it as the load set it.
  if (static_cast<int32_t>(format.rate) == outHeader_.riff.samplesPerSec &&
      bits == outHeader_.riff.bitsPerSample) {
    outHeader_ = header;
  }
  const uint8_t* samples = length > 0 ? mixBuffer_.data() + begin : nullptr;
  return WriteWavFile(path, header.riff, header.data, samples, why);
}

}  // namespace velmora
