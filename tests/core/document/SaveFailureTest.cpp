// Saves that fail for real: a folder that cannot be written, a full file system, a file-size
// limit, a full device, a name that is a folder. A failed save shows the program's message,
// leaves the previous file exactly as it was and no temporary file behind, and does not count
// as saved.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>

#include "SaveSupport.h"
#include "document/WavWriter.h"
#include "io/File.h"
#include "io/ReplacingFile.h"
#include "support/Fifo.h"

#ifdef __linux__
#include <sys/mount.h>
#endif
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::Spec;

const std::vector<uint8_t> kPrevious = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};

// A small tmpfs mounted on a new folder, unmounted on destruction; only where the process may
// mount (root with the capability to, as in the CI containers).
class ScratchMount {
 public:
  ScratchMount(const std::string& folder, const std::string& options) : folder_(folder) {
#ifdef __linux__
    fs::create_directory(folder_);
    mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0;
#else
    (void)options;
#endif
  }
  ~ScratchMount() {
#ifdef __linux__
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
#endif
  }
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;

  bool mounted() const {
    return mounted_;
  }
  bool MakeReadOnly() {
#ifdef __linux__
    return mounted_ &&
           ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
#else
    return false;
#endif
  }

 private:
  std::string folder_;
  bool mounted_ = false;
};

// Lowers the file-size limit so that writes beyond it fail (SIGXFSZ ignored), until destroyed.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t bytes) {
#ifndef _WIN32
    ok_ = ::getrlimit(RLIMIT_FSIZE, &saved_) == 0;
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = saved_;
    lower.rlim_cur = bytes;
    ok_ = ok_ && ::setrlimit(RLIMIT_FSIZE, &lower) == 0;
#else
    (void)bytes;
#endif
  }
  ~FileSizeLimit() {
#ifndef _WIN32
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
#endif
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool ok() const {
    return ok_;
  }

 private:
  bool ok_ = false;
#ifndef _WIN32
  rlimit saved_{};
  void (*oldHandler_)(int) = nullptr;
#endif
};

// Where a save must fail. `previous` names an older file that must survive unchanged;
// `folder` must hold nothing but it afterwards. `skip` says why the environment cannot give it.
struct FailingTarget {
  std::string path;
  std::string previous;
  std::string folder;
  std::string skip;
  std::shared_ptr<ScratchMount> mount;
  std::shared_ptr<FileSizeLimit> limit;  // set last, just before the save
};

void WritePrevious(FailingTarget& t) {
  t.previous = t.path;
  test::WriteBytes(t.previous, kPrevious);
}

bool RunningAsRoot() {
#ifndef _WIN32
  return ::geteuid() == 0;
#else
  return false;
#endif
}

using TargetMaker = std::function<FailingTarget(const test::TempDir&)>;

struct Environment {
  const char* name;
  TargetMaker make;
};

const Environment kEnvironments[] = {
    {"parent is a regular file",
     [](const test::TempDir& dir) {
       FailingTarget t;
       test::WriteBytes(dir.File("plain"), kPrevious);
       t.path = dir.File("plain/out.wav");
       return t;
     }},
    {"read-only folder",
     [](const test::TempDir& dir) {
       FailingTarget t;
       t.folder = dir.File("locked");
       if (!RunningAsRoot()) {
         fs::create_directory(t.folder);
         t.path = t.folder + "/out.wav";
         WritePrevious(t);
         fs::permissions(t.folder, fs::perms::owner_read | fs::perms::owner_exec);
         return t;
       }
       // Permission bits do not stop root; a read-only mount does.
       t.mount = std::make_shared<ScratchMount>(t.folder, "size=1m");
       if (!t.mount->mounted()) {
         t.skip = "cannot mount a read-only file system here";
         return t;
       }
       t.path = t.folder + "/out.wav";
       WritePrevious(t);
       if (!t.mount->MakeReadOnly()) t.skip = "cannot remount read-only here";
       return t;
     }},
    {"full file system",
     [](const test::TempDir& dir) {
       FailingTarget t;
       t.folder = dir.File("tiny");
       t.mount = std::make_shared<ScratchMount>(t.folder, "size=64k");
       if (!t.mount->mounted()) {
         t.skip = "cannot mount a small file system here";
         return t;
       }
       t.path = t.folder + "/out.wav";
       WritePrevious(t);
       return t;
     }},
    {"file-size limit reached mid-way",
     [](const test::TempDir& dir) {
       FailingTarget t;
       t.folder = dir.File("limited");
       fs::create_directory(t.folder);
       t.path = t.folder + "/out.wav";
       WritePrevious(t);
       t.limit = std::make_shared<FileSizeLimit>(4096);
       if (!t.limit->ok()) t.skip = "cannot lower the file-size limit";
       return t;
     }},
    {"full device",
     [](const test::TempDir&) {
       FailingTarget t;
       t.path = "/dev/full";
       if (!fs::exists(t.path)) t.skip = "no /dev/full";
       return t;
     }},
    {"name of a folder",
     [](const test::TempDir& dir) {
       FailingTarget t;
       t.path = dir.File("folder.wav");
       fs::create_directory(t.path);
       t.previous = t.path + "/inside";
       test::WriteBytes(t.previous, kPrevious);
       return t;
     }},
};

void ExpectNothingLost(const FailingTarget& t) {
  if (!t.previous.empty()) {
    EXPECT_EQ(ReadBytes(t.previous), kPrevious);
  }
  if (t.folder.empty()) return;
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(t.folder)) {
    names.insert(entry.path().string());
  }
  const std::set<std::string> expected = {t.previous};
  EXPECT_EQ(names, expected) << "a temporary file was left behind";
}

// 50000 stereo 16-bit frames: 200 kB, more than the tiny file system and the size limit take.
constexpr uint32_t kFrames = 50000;

TEST(SaveFailure, FailedChannelSaveKeepsThePreviousFileAndTheChannelUnsaved) {
  for (const Environment& env : kEnvironments) {
    SCOPED_TRACE(env.name);
    test::DocWithFiles f;
    f.LoadUnsaved(0, Spec(2, 44100, 16), test::StereoRamp16(kFrames));
    FailingTarget t = env.make(f.dir);
    if (!t.skip.empty()) {
      std::printf("[ skipped ] %s: %s\n", env.name, t.skip.c_str());
      continue;
    }
    f.ui.saveChoices.push_back(t.path);

    EXPECT_FALSE(f.doc.SaveChannel(0));
    t.limit.reset();

    EXPECT_EQ(f.ui.Texts(), std::vector<std::string>{msg::kSaveFailed});
    EXPECT_EQ(f.ui.messages.at(0).icon, MessageIcon::Stop);
    EXPECT_EQ(f.ui.waitDepth, 0);
    // Still unsaved, so that closing asks about it again.
    EXPECT_TRUE(f.doc.slot(0).path.empty());
    ExpectNothingLost(t);
  }
}

TEST(SaveFailure, FailedSaveOfTheMixRaisesTheFileErrorAndStaysModified) {
  for (const Environment& env : kEnvironments) {
    SCOPED_TRACE(env.name);
    test::DocWithFiles f;
    f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(kFrames));
    f.doc.SetModifiedFlag(true);
    FailingTarget t = env.make(f.dir);
    if (!t.skip.empty()) {
      std::printf("[ skipped ] %s: %s\n", env.name, t.skip.c_str());
      continue;
    }
    // Only a name ending in WAV gets written.
    if (UpperExtension3(t.path) != "WAV") continue;
    test::DocumentAccess::outputPath(f.doc) = t.path;
    f.doc.SetTitle("before.wav");

    f.doc.OnFileSave();
    t.limit.reset();

    EXPECT_EQ(f.ui.Texts(), std::vector<std::string>{msg::kSaveFailed});
    EXPECT_EQ(f.ui.fileErrors, std::vector<std::string>{t.path});
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(f.doc.GetTitle(), "before.wav");
    EXPECT_EQ(f.ui.waitDepth, 0);
    ExpectNothingLost(t);
  }
}

TEST(SaveFailure, SuccessfulSaveReplacesTheOldFileWholeAndKeepsItsPermissions) {
  test::DocWithFiles f;
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(1000));
  const std::string path = f.dir.File("mix.wav");
  test::WriteBytes(path, std::vector<uint8_t>(100000, 0xAA));  // longer than the new file
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  test::DocumentAccess::outputPath(f.doc) = path;

  f.doc.OnFileSave();

  EXPECT_TRUE(f.ui.messages.empty());
  EXPECT_EQ(ReadBytes(path).size(), 44u + 4000u);
  EXPECT_EQ(fs::status(path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(f.dir.path()), fs::directory_iterator()), 2)
      << "only in0.wav and mix.wav";
}

TEST(SaveFailure, APipeIsRefusedWithoutWaitingForAReader) {
  test::DocWithFiles f;
  f.LoadUnsaved(0, Spec(2, 44100, 16), test::StereoRamp16(1000));
  const test::Fifo fifo(f.dir.File("pipe.wav"));
  ASSERT_TRUE(fifo.made());
  f.ui.saveChoices.push_back(fifo.path());

  EXPECT_FALSE(fifo.ReturnsWithoutWaiting([&] { return f.doc.SaveChannel(0); }));

  EXPECT_EQ(f.ui.Texts(), std::vector<std::string>{msg::kSaveFailed});
  EXPECT_EQ(f.ui.reasons, std::vector<std::string>{fifo.path() + ": not a regular file"});
  EXPECT_TRUE(f.doc.slot(0).path.empty());
  Result written;
  EXPECT_FALSE(fifo.ReturnsWithoutWaiting([&] {
    written = WriteWholeFile(fifo.path(), {{kPrevious.data(), kPrevious.size()}});
    return written.ok();
  }));
  ASSERT_EQ(written.what(), FailureKind::WriteFailed);
  EXPECT_EQ(written.failure().where, fifo.path());
  EXPECT_EQ(written.failure().systemCode, 0) << "the program's own reason, no system's code";
  EXPECT_EQ(written.failure().reason, NotARegularFileError().message());
  EXPECT_TRUE(fs::is_fifo(fifo.path()));
}

TEST(SaveFailure, EveryNameTheFolderTakesCanBeSavedTo) {
  // The temporary file's name is longer than the target's unless it is cut to fit.
  const std::vector<std::string> names = {
      std::string(200, 'a') + ".wav",
      std::string(230, 'b') + ".wav",  // 234 bytes
      std::string(251, 'c') + ".wav",  // 255 bytes
      [] {
        std::string kana;
        for (int i = 0; i < 83; ++i) kana += "あ";
        return kana + "xx.wav";  // 255 bytes of three-byte characters and ASCII
      }(),
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(name.size());
    test::DocWithFiles f;
    f.LoadUnsaved(0, Spec(2, 44100, 16), test::StereoRamp16(1000));
    const std::string path = f.dir.File(name);
    f.ui.saveChoices.push_back(path);

    EXPECT_TRUE(f.doc.SaveChannel(0));

    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_EQ(ReadBytes(path).size(), 44u + 4000u);
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dir.path()), fs::directory_iterator()), 2)
        << "only in0.wav and the saved file";
  }
}

#ifndef _WIN32
TEST(SaveFailure, TheSavedFileHasTheTargetsModeOrANewFilesMode) {
  struct Case {
    const char* name;
    std::optional<fs::perms> existing;
    mode_t umask;
    fs::perms saved;
  };
  using P = fs::perms;
  const std::vector<Case> cases = {
      {"new name, umask 022", std::nullopt, 022,
       P::owner_read | P::owner_write | P::group_read | P::others_read},
      {"new name, umask 027", std::nullopt, 027, P::owner_read | P::owner_write | P::group_read},
      {"private file", P::owner_read | P::owner_write, 022, P::owner_read | P::owner_write},
      {"group-writable file", P::owner_read | P::owner_write | P::group_read | P::group_write, 077,
       P::owner_read | P::owner_write | P::group_read | P::group_write},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::DocWithFiles f;
    f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(100));
    const std::string path = f.dir.File("mix.wav");
    if (c.existing) {
      test::WriteBytes(path, kPrevious);
      fs::permissions(path, *c.existing);
    }
    test::DocumentAccess::outputPath(f.doc) = path;
    const mode_t before = ::umask(c.umask);
    f.doc.OnFileSave();
    ::umask(before);
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_EQ(fs::status(path).permissions(), c.saved);
  }
}
#endif

TEST(SaveFailure, SymbolicLinkStaysALinkToTheSavedFile) {
  test::DocWithFiles f;
  f.Load(0, Spec(2, 44100, 16), test::StereoRamp16(1000));
  const std::string real = f.dir.File("real.wav");
  const std::string link = f.dir.File("link.wav");
  test::WriteBytes(real, kPrevious);
  std::error_code error;
  fs::create_symlink(real, link, error);
  if (error) GTEST_SKIP() << "no symbolic links here";
  test::DocumentAccess::outputPath(f.doc) = link;

  f.doc.OnFileSave();

  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(real).size(), 44u + 4000u);
}

}  // namespace
}  // namespace velmora
