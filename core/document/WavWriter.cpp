#include "document/WavWriter.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>

#include "document/VelmoraDoc.h"
#include "io/File.h"

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

// A hidden name in the target's folder, so that the final rename stays on one file system.
fs::path TemporaryNameBeside(const fs::path& target) {
  const fs::path folder = target.parent_path();
  for (;;) {
    fs::path candidate =
        folder / fs::u8path("." + target.filename().u8string() + "." + RandomSuffix() + ".tmp");
    std::error_code error;
    if (!fs::exists(fs::symlink_status(candidate, error))) return candidate;
  }
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

// A device or a pipe has no old content to keep: write into it.
bool WriteStraightInto(const fs::path& target, const FileContent& content, std::error_code& why) {
  File file;
  errno = 0;
  if (!file.Open(target.u8string(), File::Mode::Write)) {
    why = LastSystemError();
    return false;
  }
  if (!content(file, why)) return false;
  errno = 0;
  if (!file.Close()) {
    why = LastSystemError();
    return false;
  }
  return true;
}

// The new content under a temporary name; removed unless it was renamed over the target.
class PendingFile {
 public:
  explicit PendingFile(const fs::path& target)
      : target_(target), temporary_(TemporaryNameBeside(target)) {}
  ~PendingFile() {
    if (renamed_) return;
    file_.Close();
    RemoveFile(temporary_.u8string());
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  bool Open(std::error_code& why) {
    errno = 0;
    if (file_.Open(temporary_.u8string(), File::Mode::Write)) return true;
    why = LastSystemError();
    return false;
  }
  File& file() { return file_; }

  // Flushes to the disk, then puts the new file in the target's place.
  bool Commit(std::error_code& why) {
    errno = 0;
    const bool synced = file_.Sync();
    if (!synced) why = LastSystemError();
    errno = 0;
    const bool closed = file_.Close();
    if (synced && !closed) why = LastSystemError();
    if (!synced || !closed) return false;
    KeepPermissionsOfTarget();
    fs::rename(temporary_, target_, why);
    renamed_ = !why;
    return renamed_;
  }

 private:
  void KeepPermissionsOfTarget() {
    std::error_code error;
    const fs::file_status old = fs::status(target_, error);
    if (!error && fs::is_regular_file(old)) fs::permissions(temporary_, old.permissions(), error);
  }

  fs::path target_;
  fs::path temporary_;
  File file_;
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
    written = WriteStraightInto(target, content, error);
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

uint32_t SaveBlockFrames(uint32_t mixRate) {
  switch (mixRate) {
    case 192000:
      return 16384;
    case 96000:
      return 8192;
    case 22050:
      return 2048;
    case 11025:
      return 1024;
    default:  // 48000, 44100 and every rate the table does not name
      return 4096;
  }
}

bool CVelmoraDoc::WriteMixFile(const std::string& path, uint32_t first, uint32_t frames,
                               std::error_code* why) {
  const int bits = MixBits();
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
  FillCanonical(outHeader_.riff, outHeader_.data, 2, outHeader_.riff.samplesPerSec, bits, frames);
  const uint8_t* samples = length > 0 ? mixBuffer_.data() + begin : nullptr;
  return WriteWavFile(path, outHeader_.riff, outHeader_.data, samples, why);
}

}  // namespace velmora
