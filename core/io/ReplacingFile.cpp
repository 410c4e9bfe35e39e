#include "io/ReplacingFile.h"

#include <cerrno>
#include <cstdio>
#include <random>

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

}  // namespace

ReplacingFile::ReplacingFile(const std::string& utf8Path) : path_(utf8Path) {}

ReplacingFile::~ReplacingFile() {
  if (temporary_.empty() || committed_) return;
  file_.Close();
  RemoveFile(temporary_.u8string());
  ForgetFileToRemoveOnInterrupt();
}

bool ReplacingFile::Open(std::error_code& why) {
  why.clear();
  if (path_.empty()) {
    why = std::make_error_code(std::errc::no_such_file_or_directory);
    return false;
  }
  target_ = ResolveTarget(fs::u8path(path_));
  std::error_code error;
  const fs::file_status status = fs::status(target_, error);
  if (fs::is_directory(status)) {
    why = std::make_error_code(std::errc::is_a_directory);
    return false;
  }
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    // A pipe would hold the program until someone reads it, and a device has no file to keep.
    why = NotARegularFileError();
    return false;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = TemporaryNameBeside(target_);
    // Named before it exists, so that no moment leaves it behind unnamed.
    RememberFileToRemoveOnInterrupt(temporary_.u8string());
    if (file_.CreateNew(temporary_.u8string(), &why)) {
      why.clear();
      return true;
    }
    ForgetFileToRemoveOnInterrupt();
    temporary_.clear();
    if (why != std::errc::file_exists) return false;
  }
  return false;
}

bool ReplacingFile::Commit(std::error_code& why) {
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
  committed_ = !why;
  if (committed_) ForgetFileToRemoveOnInterrupt();
  return committed_;
}

Result WriteWholeFile(const std::string& utf8Path, std::initializer_list<ByteSpan> pieces) {
  ReplacingFile replacing(utf8Path);
  std::error_code why;
  if (replacing.Open(why) && WritePieces(replacing.file(), pieces, why) && replacing.Commit(why)) {
    return {};
  }
  return FileFailure(FailureKind::WriteFailed, utf8Path, why);
}

}  // namespace velmora
