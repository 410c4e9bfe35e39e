// The recovery files: the writer's file is a valid WAV that ends up holding the whole take and
// saying where the take belongs, files held by a running program are not offered, only the
// program's own files in a folder of the user's own are ever offered or touched, files without
// frames go quietly, thousands of files are looked at a few at a time, the takes' files go as
// soon as the takes are saved or released, and a take whose file could not be written says so.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>

#include "document/VelmoraDoc.h"
#include "io/LittleEndian.h"
#include "recorder/RecoveryFiles.h"
#include "recorder/RecoveryWriter.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "support/DocumentFixture.h"
#include "support/StudioRig.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
}

// A 16-bit mono WAV of `frames` frames whose samples do not repeat soon, as the writer makes it.
std::vector<uint8_t> TakeWav(uint32_t frames) {
  std::vector<uint8_t> file = MakeWavHeader(44100, 16, 1, frames * 2);
  for (uint32_t i = 0; i < frames * 2; ++i) file.push_back(static_cast<uint8_t>(i * 7 + i / 251));
  return file;
}

std::vector<uint8_t> DataOf(const std::vector<uint8_t>& wav) {
  return {wav.begin() + kWavHeaderBytes, wav.end()};
}

std::vector<uint8_t> SlotBytes(const ChannelSlot& slot) {
  return {slot.data.data(), slot.data.data() + slot.data.size()};
}

unsigned ModeOf(const fs::path& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// Passes the document's updates on to the recovery files, as the view does.
class UpdatesTo : public DocumentListener {
 public:
  explicit UpdatesTo(RecoveryTakes& takes) : takes_(takes) {}
  void OnUpdateAllViews(const DocumentNotice& notice) override { takes_.OnUpdate(notice); }
  void OnTitleChanged(const std::string&) override {}

 private:
  RecoveryTakes& takes_;
};

class RecoveryTest : public ::testing::Test, protected test::StudioRig {
 protected:
  void SetUp() override {
    dir = (fs::temp_directory_path() /
           ("velmora-recovery-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name()))
              .string();
    fs::remove_all(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    if (!fs::exists(dir)) return files;
    for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
  }
  void ClearDocument() {
    for (int i = 0; i < kChannelCount; ++i) test::DocumentAccess::slot(doc, i).Clear();
  }

  std::string dir;
};

TEST_F(RecoveryTest, WriterMakesAValidWavHoldingEverythingAppended) {
  std::vector<uint8_t> data;
  {
    RecoveryWriter writer;
    ASSERT_TRUE(writer.Start(dir, 22050, 16, 1));
    const std::vector<uint8_t> header = ReadAll(writer.path());
    EXPECT_EQ(header, MakeWavHeader(22050, 16, 1, 0)) << "valid from the start";
    for (int i = 0; i < 50; ++i) {
      std::vector<uint8_t> block(1000, static_cast<uint8_t>(i));
      writer.Append(block.data(), block.size());
      data.insert(data.end(), block.begin(), block.end());
    }
    writer.Append(nullptr, 6);
    data.resize(data.size() + 6, 0);
    writer.Finish();
    EXPECT_FALSE(writer.failed());
    EXPECT_EQ(writer.writtenBytes(), data.size());
    const std::vector<uint8_t> file = ReadAll(writer.path());
    ASSERT_EQ(file.size(), kWavHeaderBytes + data.size());
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + kWavHeaderBytes),
              MakeWavHeader(22050, 16, 1, static_cast<uint32_t>(data.size())));
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + kWavHeaderBytes, file.end()), data);
    EXPECT_TRUE(FindUnheldTakes(dir).empty()) << "held while the writer has it";
  }
  std::vector<UnheldTake> left = FindUnheldTakes(dir);
  ASSERT_EQ(left.size(), 1u) << "let go, it is a left take";
  EXPECT_EQ(left[0].rate, 22050u);
  EXPECT_EQ(left[0].frames, data.size() / 2);
}

TEST_F(RecoveryTest, LeftTakesAreOfferedAndYesLoadsThemAsUnsavedTakes) {
  std::vector<uint8_t> data(4000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  {
    RecoveryWriter writer;
    ASSERT_TRUE(writer.Start(dir, 44100, 16, 2));
    writer.Append(data.data(), data.size());
    writer.Finish();
  }
  // A crash leaves the header behind the data: the data to the end of the file count.
  const std::string path = Files().at(0);
  {
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(40);
    const char zero[4] = {};
    f.write(zero, 4);
  }
  test::PutSilence(doc, 0, {}, 10);
  {
    RecoveryTakes takes(doc, ui, panel, dir);
    ui.answers = {Answer::No};
    takes.OfferLeftTakes();
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kRecoveryOffer});
    EXPECT_FALSE(doc.slot(1).HasData());
    EXPECT_EQ(Files().size(), 1u) << "No deletes nothing";

    ui.answers = {Answer::Yes};
    takes.OfferLeftTakes();
    const ChannelSlot& slot = doc.slot(1);
    ASSERT_TRUE(slot.HasData());
    EXPECT_EQ(std::vector<uint8_t>(slot.data.data(), slot.data.data() + slot.data.size()), data);
    EXPECT_TRUE(slot.path.empty());
    EXPECT_TRUE(slot.inUse && slot.selected);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(le::U32(ReadAll(path).data() + 40), data.size()) << "the header made whole";
    EXPECT_TRUE(FindUnheldTakes(dir).empty()) << "now held by this document";
  }
  EXPECT_TRUE(Files().empty()) << "the document closed";
}

TEST_F(RecoveryTest, ATakesFileGoesAsSoonAsTheTakeIsSavedOrReleased) {
  RecoveryTakes takes(doc, ui, panel, dir);
  UpdatesTo updates(takes);
  doc.SetListener(&updates);
  recorder.options.simultaneousPlayback = false;
  recorder.openRecovery = [&](uint32_t rate, uint16_t bits, uint16_t channels) {
    return takes.OpenWriter(rate, bits, channels);
  };
  recorder.takeStored = [&](int slot, std::unique_ptr<RecoveryWriter> writer) {
    takes.Adopt(slot, std::move(writer));
  };
  timers.SetHandler([&](int id) { recorder.OnTimer(id); });
  view.recordBlockFrames = 256;

  for (int take = 0; take < 2; ++take) {
    recorder.Record();
    for (int b = 0; b < 3; ++b) {
      backend.AdvanceInput(std::vector<uint8_t>(1024, static_cast<uint8_t>(b + take)));
      timers.Fire(timer::kRecording);
    }
    transport.Stop();
  }
  const std::string first = takes.PathOf(0);
  const std::string second = takes.PathOf(1);
  ASSERT_FALSE(first.empty());
  const std::vector<uint8_t> file = ReadAll(first);
  const ChannelSlot& slot = doc.slot(0);
  ASSERT_EQ(file.size(), kWavHeaderBytes + slot.data.size());
  EXPECT_TRUE(std::equal(slot.data.data(), slot.data.data() + slot.data.size(),
                         file.begin() + kWavHeaderBytes));
  EXPECT_EQ(Files().size(), 2u);

  // Saved alone ("単独で保存"): only a file written gives the take a home.
  const fs::path saved = dir + "-saved.wav";
  struct Case {
    const char* name;
    std::optional<std::string> choice;  // none: the file chooser is cancelled
    bool written;
  };
  const Case cases[] = {
      {"cancelled", std::nullopt, false},
      {"the save fails", dir + "-missing/take.wav", false},
      {"saved", saved.string(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui.saveChoices = {c.choice};
    EXPECT_EQ(doc.SaveChannel(0), c.written);
    EXPECT_EQ(fs::exists(first), !c.written);
  }
  EXPECT_EQ(ReadAll(saved.string()).size(), file.size());
  fs::remove(saved);

  ui.answers = {Answer::No};  // release it unsaved
  panel.OnCommand(cmd::kReleaseChannel + 1);
  EXPECT_FALSE(doc.slot(1).HasData());
  EXPECT_FALSE(fs::exists(second));
  EXPECT_TRUE(Files().empty());
  doc.SetListener(nullptr);
}

// The recorder tells the take's file where the take goes: from its first frames on (by the
// latency the sound system states) and at Stop (as stored), so a crash at any moment recovers it
// in its channel at its offset.
TEST_F(RecoveryTest, TheRecorderKeepsTheTakesPlaceInItsFile) {
  RecoveryTakes takes(doc, ui, panel, dir);
  recorder.openRecovery = [&](uint32_t rate, uint16_t bits, uint16_t channels) {
    return takes.OpenWriter(rate, bits, channels);
  };
  std::string storedPath;
  recorder.takeStored = [&](int slot, std::unique_ptr<RecoveryWriter> writer) {
    storedPath = writer->path();
    takes.Adopt(slot, std::move(writer));
  };
  timers.SetHandler([&](int id) {
    transport.OnTimer(id);
    recorder.OnTimer(id);
  });
  transport.waitForMix = [] {};
  view.blockFrames = view.recordBlockFrames = 256;
  backend.outputLatency = 0.030;
  backend.inputLatency = 0.010;
  test::PutSilence(doc, 0, {}, 200000);
  test::PutMix(doc, 200000);
  doc.SetEndMark(200000 - 1);
  form.SetRange(ctl::kPositionSlider, 0, 200000);
  form.SetPosition(ctl::kPositionSlider, 44100);
  doc.SetPosition(44100);
  recorder.options.simultaneousPlayback = true;

  recorder.Record();
  for (int b = 0; b < 4; ++b) {
    backend.AdvanceInput(std::vector<uint8_t>(1024, 0));
    timers.Fire(timer::kRecording);
  }
  // A crash now: the file says channel 2 (index 1), one second in less the stated 40 ms.
  EXPECT_TRUE(FindUnheldTakes(dir).empty()) << "held while recording";
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  ASSERT_EQ(names.size(), 1u);
  TakePlacement during;
  ASSERT_TRUE(ReadTakeFileName(names[0], during));
  EXPECT_EQ(during.channel, 1);
  EXPECT_EQ(during.offsetMs, 960);

  transport.Stop();
  ASSERT_FALSE(storedPath.empty());
  TakePlacement stored;
  ASSERT_TRUE(ReadTakeFileName(fs::path(storedPath).filename(), stored));
  EXPECT_EQ(stored.channel, 1);
  EXPECT_EQ(stored.offsetMs, doc.slot(1).offset);
  EXPECT_EQ(stored.offsetMs, 960);
}

TEST_F(RecoveryTest, ATakeGoesBackToItsChannelAtItsOffset) {
  constexpr uint32_t kFrames = 3000;
  struct Case {
    const char* name;
    std::optional<TakePlacement> atRecord;
    std::optional<TakePlacement> atStop;
    bool stopAfterFinish;
    int taken;  // a channel that holds another file at the next start; -1: none
    int channel;
    int32_t offsetMs;
    uint32_t cutFrames;
  };
  const Case cases[] = {
      {"placed at Record, then the program died", TakePlacement{2, 480, 37.4, 0}, std::nullopt,
       false, -1, 2, 480, 0},
      {"placed again at Stop, after Finish, with a cut", TakePlacement{1, 0, 20, 0},
       TakePlacement{1, 0, 37.4, 441}, true, -1, 1, 0, 441},
      {"placed again at Stop, before Finish", TakePlacement{3, 100, 20, 0},
       TakePlacement{3, 1234, 12.5, 0}, false, -1, 3, 1234, 0},
      {"its channel is taken", TakePlacement{0, 700, 5, 0}, std::nullopt, false, 0, 1, 700, 0},
      {"its channel is not known", TakePlacement{-1, 250, 0, 0}, std::nullopt, false, -1, 0, 250,
       0},
      {"never placed (an older file)", std::nullopt, std::nullopt, false, -1, 0, 0, 0},
  };
  const std::vector<uint8_t> wav = TakeWav(kFrames);
  const std::vector<uint8_t> data = DataOf(wav);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir);
    ClearDocument();
    {
      RecoveryWriter writer;
      ASSERT_TRUE(writer.Start(dir, 44100, 16, 1));
      if (c.atRecord) writer.SetPlacement(*c.atRecord);
      writer.Append(data.data(), data.size());
      if (c.stopAfterFinish) writer.Finish();
      if (c.atStop) writer.SetPlacement(*c.atStop);
      // What a crash at this moment would leave: the name says where the take belongs.
      TakePlacement named;
      ASSERT_TRUE(ReadTakeFileName(fs::path(writer.path()).filename().string(), named));
      const TakePlacement& last = c.atStop ? *c.atStop : c.atRecord.value_or(TakePlacement{});
      EXPECT_EQ(named.channel, last.channel);
      EXPECT_EQ(named.offsetMs, last.offsetMs);
      EXPECT_EQ(named.cutFrames, last.cutFrames);
      EXPECT_DOUBLE_EQ(named.latencyMs, last.latencyMs);
      ASSERT_EQ(Files().size(), 1u) << "renamed, never copied";
    }
    if (c.taken >= 0) test::PutSilence(doc, c.taken, {44100, 1, 16}, 10);

    RecoveryTakes takes(doc, ui, panel, dir);
    ui.answers = {Answer::Yes};
    takes.OfferLeftTakes();
    const ChannelSlot& slot = doc.slot(c.channel);
    ASSERT_TRUE(slot.HasData());
    EXPECT_EQ(slot.offset, c.offsetMs);
    const auto cutBytes = static_cast<std::ptrdiff_t>(c.cutFrames) * 2;
    EXPECT_EQ(SlotBytes(slot), std::vector<uint8_t>(data.begin() + cutBytes, data.end()));
    EXPECT_TRUE(slot.path.empty());
    EXPECT_EQ(le::U32(ReadAll(Files().at(0)).data() + 40), data.size()) << "the whole file kept";
  }

  // An older take placed nowhere leaves a later take its own channel.
  fs::remove_all(dir);
  ClearDocument();
  {
    RecoveryWriter older;
    RecoveryWriter later;
    ASSERT_TRUE(older.Start(dir, 44100, 16, 1));
    ASSERT_TRUE(later.Start(dir, 44100, 16, 1));
    later.SetPlacement(TakePlacement{0, 0, 0, 0});
    older.Append(data.data(), 2000);
    later.Append(data.data(), 4000);
  }
  RecoveryTakes takes(doc, ui, panel, dir);
  ui.answers = {Answer::Yes};
  takes.OfferLeftTakes();
  EXPECT_EQ(doc.slot(0).frames, 2000u);
  EXPECT_EQ(doc.slot(1).frames, 1000u);
}

TEST(TakeFileNameTest, OnlyNamesThisProgramGivesAreRead) {
  TakePlacement placement;
  const char* const ours[] = {
      "take-20261210-170501-12345-1.wav",
      "take-20261210-170501-1-1234567-ch2-at1500ms-cut1632-lat37400us.wav",
      "take-20261210-170501-12345-1-chx-at0ms-cut0-lat0us.wav",
  };
  for (const char* name : ours) EXPECT_TRUE(ReadTakeFileName(name, placement)) << name;
  EXPECT_EQ(placement.channel, -1);
  const char* const others[] = {
      "song.wav",
      "take-1.wav",
      "take-20261210-170501-12345-1.WAV",
      "take-20261210-170501-12345-1.wav.bak",
      "take-20261210-17050-12345-1.wav",
      "take-20261210-170501-12345-1-ch2.wav",
      "take-20261210-170501-12345-1-ch12-at0ms-cut0-lat0us.wav",
      "take-20261210-170501-12345-1-ch2-at-5ms-cut0-lat0us.wav",
      "take-20261210-170501-12345-1-ch2-at2147483648ms-cut0-lat0us.wav",
      "take-20261210-170501-12345-1-ch2-at0ms-cut0-lat0us.wav.wav",
      "take-20261210-170501--1.wav",
  };
  for (const char* name : others) EXPECT_FALSE(ReadTakeFileName(name, placement)) << name;
}

// Every entry under `root` as lstat sees it (kind, permissions, owner, links), with a file's bytes
// or a link's target.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> seen;
  const auto note = [&](const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return;
    std::string what = std::to_string(info.st_mode) + " " + std::to_string(info.st_uid) + " " +
                       std::to_string(info.st_nlink) + " ";
    if (S_ISREG(info.st_mode)) {
      const std::vector<uint8_t> bytes = ReadAll(path.string());
      what.append(bytes.begin(), bytes.end());
    } else if (S_ISLNK(info.st_mode)) {
      what += fs::read_symlink(path).string();
    }
    seen[path.string()] = what;
  };
  note(root);
  for (const auto& entry : fs::recursive_directory_iterator(root)) note(entry.path());
  return seen;
}

TEST_F(RecoveryTest, OnlyTheProgramsOwnFilesInItsOwnFolderAreOfferedOrTouched) {
  const fs::path base = dir;
  const fs::path music = base / "music";
  const fs::path folder = base / "recovery";
  const std::vector<uint8_t> song = TakeWav(2000);
  const std::vector<uint8_t> silent = TakeWav(0);  // as a take without frames
  const std::string full = "take-20250101-120000-1-1.wav";
  const std::string empty = "take-20250101-120000-1-2-ch1-at0ms-cut0-lat0us.wav";
  constexpr uid_t kOtherUser = 12345;
  const auto makeFolder = [&] {
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_all);
  };
  const auto copies = [&] {
    makeFolder();
    WriteAll(folder / full, song);
    WriteAll(folder / empty, silent);
  };
  struct Case {
    const char* name;
    bool needsRoot;  // chown
    bool folderUsable;
    std::function<void()> make;
  };
  const Case cases[] = {
      {"the folder is a link to a music folder", false, false,
       [&] { fs::create_directory_symlink(music, folder); }},
      {"take names are links to the user's files", false, true,
       [&] {
         makeFolder();
         fs::create_symlink(music / "song.wav", folder / full);
         fs::create_symlink(music / "silent.wav", folder / empty);
       }},
      {"take names are second names of the user's files", false, true,
       [&] {
         makeFolder();
         fs::create_hard_link(music / "song.wav", folder / full);
         fs::create_hard_link(music / "silent.wav", folder / empty);
       }},
      {"take names on a folder and a pipe", false, true,
       [&] {
         makeFolder();
         fs::create_directory(folder / full);
         ASSERT_EQ(::mkfifo((folder / empty).c_str(), 0600), 0);
       }},
      {"names this program does not give", false, true,
       [&] {
         makeFolder();
         for (const char* name :
              {"song.wav", "take-1.wav", "take-20250101-120000-1-1.WAV",
               "take-20250101-120000-1-1.wav.bak", "take-20250101-120000-1-1-ch2.wav"}) {
           WriteAll(folder / name, song);
         }
         WriteAll(folder / "take-2.wav", silent);
       }},
      {"files of another user", true, true,
       [&] {
         copies();
         ASSERT_EQ(::chown((folder / full).c_str(), kOtherUser, kOtherUser), 0);
         ASSERT_EQ(::chown((folder / empty).c_str(), kOtherUser, kOtherUser), 0);
       }},
      {"a folder of another user", true, false,
       [&] {
         copies();
         ASSERT_EQ(::chown(folder.c_str(), kOtherUser, kOtherUser), 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsRoot && ::geteuid() != 0) continue;  // only root gives files away
    fs::remove_all(base);
    ClearDocument();
    fs::create_directories(music);
    WriteAll(music / "song.wav", song);
    WriteAll(music / "silent.wav", silent);
    WriteAll(music / full, song);
    WriteAll(music / empty, silent);
    c.make();
    const std::map<std::string, std::string> before = Snapshot(base);

    ui.messages.clear();
    {
      RecoveryTakes takes(doc, ui, panel, folder.string());
      ui.answers = {Answer::Yes};
      takes.OfferLeftTakes();
      EXPECT_TRUE(ui.messages.empty()) << "nothing offered";
      EXPECT_LT(doc.FirstEmptySlot(), 1) << "nothing loaded";
    }  // the program quits
    EXPECT_TRUE(FindUnheldTakes(folder.string()).empty());
    if (!c.folderUsable) {
      RecoveryWriter writer;
      EXPECT_FALSE(writer.Start(folder.string(), 44100, 16, 1)) << "no file made there";
    }
    EXPECT_EQ(Snapshot(base), before) << "nothing deleted, rewritten or opened up";
  }
}

TEST_F(RecoveryTest, TheRecoveryFolderIsOpenToItsOwnerOnly) {
  const fs::path parent = fs::path(dir) / "state";
  const fs::path folder = parent / "recovery";
  // Made by the writer, with the parent it lacked.
  {
    RecoveryWriter writer;
    ASSERT_TRUE(writer.Start(folder.string(), 44100, 16, 1));
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(ModeOf(parent), 0700u);
    EXPECT_EQ(ModeOf(writer.path()), 0600u);
    writer.Remove();
  }
  // Found open to others: closed to them by the writer or by the offer, whichever comes first.
  for (const bool byWriter : {true, false}) {
    SCOPED_TRACE(byWriter ? "by the writer" : "by the offer");
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_read |
                                fs::perms::others_exec);
    if (byWriter) {
      RecoveryWriter writer;
      ASSERT_TRUE(writer.Start(folder.string(), 44100, 16, 1));
      writer.Remove();
    } else {
      RecoveryTakes(doc, ui, panel, folder.string()).OfferLeftTakes();
    }
    EXPECT_EQ(ModeOf(folder), 0700u);
  }
}

TEST_F(RecoveryTest, ATakeFileHoldingNoFramesIsRemovedQuietly) {
  fs::create_directories(dir);
  fs::permissions(dir, fs::perms::owner_all);
  std::string begun;
  {
    RecoveryWriter writer;  // its take never began: the header alone
    ASSERT_TRUE(writer.Start(dir, 44100, 16, 2));
    begun = writer.path();
  }
  std::vector<uint8_t> partFrame = MakeWavHeader(44100, 16, 2, 0);
  partFrame.resize(partFrame.size() + 2);
  WriteAll(fs::path(dir) / "take-20250101-120000-1-7.wav", {});  // made, nothing written yet
  WriteAll(fs::path(dir) / "take-20250101-120000-1-8-ch1-at0ms-cut0-lat0us.wav", partFrame);
  const fs::path odd = fs::path(dir) / "take-20250101-120000-1-9.wav";  // no take's header
  WriteAll(odd, std::vector<uint8_t>(100, 'x'));
  RecoveryWriter running;  // a take being recorded now
  ASSERT_TRUE(running.Start(dir, 44100, 16, 2));

  RecoveryTakes takes(doc, ui, panel, dir);
  ui.answers = {Answer::Yes};
  takes.OfferLeftTakes();
  EXPECT_TRUE(ui.messages.empty()) << "nothing to offer";
  EXPECT_FALSE(fs::exists(begun));
  EXPECT_EQ(Files(), (std::vector<std::string>{odd.string(), running.path()}));
}

// The process may have at most `count` files open; restores the limit it had.
class DescriptorLimit {
 public:
  explicit DescriptorLimit(rlim_t count) {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit limited = saved_;
    limited.rlim_cur = count;
    setrlimit(RLIMIT_NOFILE, &limited);
  }
  ~DescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }
  DescriptorLimit(const DescriptorLimit&) = delete;
  DescriptorLimit& operator=(const DescriptorLimit&) = delete;

 private:
  rlimit saved_{};
};

rlim_t OpenDescriptors() {
  rlim_t count = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

TEST_F(RecoveryTest, AmongThousandsOfFilesARealTakeIsOfferedAndLoaded) {
  constexpr int kEmptyTakes = 2000;
  constexpr int kOtherFiles = 200;
  fs::create_directories(dir);
  fs::permissions(dir, fs::perms::owner_all);
  const std::vector<uint8_t> header = MakeWavHeader(44100, 16, 1, 0);
  for (int i = 1; i <= kEmptyTakes; ++i) {
    WriteAll(fs::path(dir) / ("take-20250101-120000-1-" + std::to_string(i) + ".wav"), header);
  }
  const std::vector<uint8_t> other = TakeWav(100);
  for (int i = 1; i <= kOtherFiles; ++i) {
    WriteAll(fs::path(dir) / ("other-" + std::to_string(i) + ".wav"), other);
  }
  const std::vector<uint8_t> real = TakeWav(5000);
  WriteAll(fs::path(dir) / "take-20991231-235959-1-1.wav", real);  // the last by name
  {
    DescriptorLimit few(OpenDescriptors() + 12);
    RecoveryTakes takes(doc, ui, panel, dir);
    ui.answers = {Answer::Yes};
    takes.OfferLeftTakes();
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kRecoveryOffer});
    EXPECT_EQ(SlotBytes(doc.slot(0)), DataOf(real));
    EXPECT_FALSE(doc.slot(1).HasData());
  }
  EXPECT_EQ(Files().size(), static_cast<size_t>(kOtherFiles)) << "the empty takes went";
}

// Files of this process may grow to `bytes` and no further, as on a disk that is full; a write
// beyond fails instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = SIG_DFL;
};

TEST_F(RecoveryTest, ATakeWhoseFileCouldNotBeWrittenIsKeptAndTheUserTold) {
  constexpr size_t kBlockBytes = 1024;  // 256 frames, 16-bit stereo
  struct Case {
    const char* name;
    bool folderIsAFile;  // the folder cannot be made: no file at all
    rlim_t fileLimit;    // 0: none; else the disk fills when the file reaches it
  };
  const Case cases[] = {
      {"written whole", false, 0},
      {"no folder for the file", true, 0},
      {"disk full after two blocks", false, kWavHeaderBytes + 2 * kBlockBytes},
  };
  recorder.options.simultaneousPlayback = false;
  std::string lastStatus;
  recorder.showStatus = [&](const std::string& text) { lastStatus = text; };
  timers.SetHandler([&](int id) { recorder.OnTimer(id); });
  view.recordBlockFrames = 256;

  int channel = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir);
    if (c.folderIsAFile) std::ofstream(dir) << "not a folder";
    RecoveryTakes takes(doc, ui, panel, dir);
    recorder.openRecovery = [&](uint32_t rate, uint16_t bits, uint16_t channels) {
      return takes.OpenWriter(rate, bits, channels);
    };
    recorder.takeStored = [&](int slot, std::unique_ptr<RecoveryWriter> writer) {
      takes.Adopt(slot, std::move(writer));
    };
    ui.messages.clear();
    std::vector<uint8_t> fed;
    {
      std::unique_ptr<FileSizeLimit> full;
      if (c.fileLimit != 0) full = std::make_unique<FileSizeLimit>(c.fileLimit);
      recorder.Record();
      const bool lostAtStart =
          lastStatus.size() >= std::strlen(msg::kRecoveryFailedStatus) &&
          lastStatus.compare(lastStatus.size() - std::strlen(msg::kRecoveryFailedStatus),
                             std::string::npos, msg::kRecoveryFailedStatus) == 0;
      EXPECT_EQ(lostAtStart, c.folderIsAFile) << lastStatus;
      for (int b = 0; b < 5; ++b) {
        const std::vector<uint8_t> block(kBlockBytes, static_cast<uint8_t>(10 * channel + b));
        fed.insert(fed.end(), block.begin(), block.end());
        backend.AdvanceInput(block);
        timers.Fire(timer::kRecording);
      }
      transport.Stop();
    }

    const ChannelSlot& slot = doc.slot(channel);
    ASSERT_TRUE(slot.HasData());
    EXPECT_EQ(std::vector<uint8_t>(slot.data.data(), slot.data.data() + slot.data.size()), fed)
        << "the take is whole in its channel";
    const bool told = !ui.messages.empty() && ui.messages.back().text == msg::kRecoveryFailed;
    EXPECT_EQ(told, c.folderIsAFile || c.fileLimit != 0) << ::testing::PrintToString(ui.Texts());
    if (c.fileLimit != 0) {
      const std::vector<uint8_t> file = ReadAll(takes.PathOf(channel));
      ASSERT_GE(file.size(), kWavHeaderBytes);
      const uint32_t dataBytes = le::U32(&file[40]);
      EXPECT_LE(kWavHeaderBytes + dataBytes, file.size()) << "the header counts written data only";
      EXPECT_TRUE(std::equal(file.begin() + kWavHeaderBytes,
                             file.begin() + kWavHeaderBytes + dataBytes, fed.begin()))
          << "what reached the file is the take's start";
    }
    ++channel;
  }
}

TEST(RecoveryDirectoryTest, FollowsXdgStateHomeElseHome) {
  const char* oldState = std::getenv("XDG_STATE_HOME");
  const std::string keep = oldState != nullptr ? oldState : "";
  ::setenv("XDG_STATE_HOME", "/x/state", 1);
  EXPECT_EQ(RecoveryDirectory(), "/x/state/Velmora/recovery");
  ::unsetenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  if (home != nullptr) {
    EXPECT_EQ(RecoveryDirectory(), std::string(home) + "/.local/state/Velmora/recovery");
  }
  if (oldState != nullptr) ::setenv("XDG_STATE_HOME", keep.c_str(), 1);
}

}  // namespace
}  // namespace velmora
