// The recovery files: the writer's file is a valid WAV that ends up holding the whole take,
// files held by a running program are not offered, the takes' files go when the takes are saved
// or released, and a take whose file could not be written says so.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "document/VelmoraDoc.h"
#include "io/LittleEndian.h"
#include "recorder/RecoveryFiles.h"
#include "recorder/RecoveryWriter.h"
#include "seams/CommandIds.h"
#include "support/DocumentFixture.h"
#include "support/RecorderRig.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Passes the document's updates on to the recovery files, as the view does.
class UpdatesTo : public DocumentListener {
 public:
  explicit UpdatesTo(RecoveryTakes& takes) : takes_(takes) {}
  void OnUpdateAllViews(int hint) override { takes_.OnUpdate(hint); }
  void OnTitleChanged(const std::string&) override {}

 private:
  RecoveryTakes& takes_;
};

class RecoveryTest : public ::testing::Test, protected test::RecorderRig {
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
    return files;
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
    EXPECT_FALSE(doc.slots[1].HasData());
    EXPECT_EQ(Files().size(), 1u) << "No deletes nothing";

    ui.answers = {Answer::Yes};
    takes.OfferLeftTakes();
    const ChannelSlot& slot = doc.slots[1];
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
  const ChannelSlot& slot = doc.slots[0];
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
  EXPECT_FALSE(doc.slots[1].HasData());
  EXPECT_FALSE(fs::exists(second));
  EXPECT_TRUE(Files().empty());
  doc.SetListener(nullptr);
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

    const ChannelSlot& slot = doc.slots[channel];
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
