// The settings key on wxConfig: where the file lives, the exact bytes of each value, the rule
// for values of another size, both writers keeping each other's values, and a key that cannot
// be created.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/Settings.h"
#include "shell/WxConfigSettingsStore.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SettingsStore, FileLivesUnderTheXdgConfigFolder) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string restore = saved != nullptr ? saved : "";
  setenv("XDG_CONFIG_HOME", "/tmp/velmora-xdg", 1);
  EXPECT_EQ(DefaultSettingsFile(), "/tmp/velmora-xdg/Velmora/Velmora.conf");
  setenv("XDG_CONFIG_HOME", "relative/path", 1);
  EXPECT_NE(DefaultSettingsFile().find("/.config/Velmora/Velmora.conf"), std::string::npos);
  if (saved != nullptr) {
    setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

TEST(SettingsStore, ValuesKeepTheirExactBytesUnderTheProgramsKeyAcrossWriters) {
  test::TempDir dir;
  const std::string file = dir.File("cfg/Velmora/Velmora.conf");
  test::FakeUi ui;
  {
    WxConfigSettingsStore store(file);
    EXPECT_FALSE(store.OpenKey()) << "no key on the first start";
    EXPECT_TRUE(WriteWindowRect(store, ui, {-3, 40, 700, 520}));
  }
  {
    // The view writes with a store of its own; the frame's value stays.
    WxConfigSettingsStore store(file);
    ViewSettings view;
    view.inputDevice = 1;
    view.outputDevice = -1;
    view.tuningHz = 415;
    EXPECT_TRUE(WriteViewSettings(store, ui, view));
  }
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_NE(ReadText(file).find("[SoftWare/Dulvik/Velmora]"), std::string::npos);

  WxConfigSettingsStore store(file);
  ASSERT_TRUE(store.OpenKey());
  EXPECT_EQ(store.ReadValue("Rect"), (std::vector<uint8_t>{0xFD, 0xFF, 0xFF, 0xFF, 40, 0, 0, 0,
                                                           0xBC, 0x02, 0, 0, 0x08, 0x02, 0, 0}));
  EXPECT_EQ(store.ReadValue("Device"), (std::vector<uint8_t>{1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(store.ReadValue("TuningHz"), (std::vector<uint8_t>{0x9F, 0x01, 0, 0}));
  EXPECT_FALSE(store.ReadValue("Missing").has_value());
  store.CloseKey();

  ViewSettings view;
  ReadViewSettings(store, view);
  EXPECT_EQ(view.inputDevice, 1);
  EXPECT_EQ(view.tuningHz, 415);
}

TEST(SettingsStore, LongerValueOnDiskIsIgnoredAndTheNextIsStillRead) {
  test::TempDir dir;
  const std::string file = dir.File("Velmora.conf");
  {
    WxConfigSettingsStore store(file);
    ASSERT_TRUE(store.CreateKey());
    ASSERT_TRUE(store.WriteValue("Device", std::vector<uint8_t>(9, 2)));
    ASSERT_TRUE(store.WriteValue("TuningHz", {0xB9, 0x01, 0, 0}));
    ASSERT_TRUE(store.WriteValue("Rect", std::vector<uint8_t>(17, 0)));
    store.CloseKey();
  }
  WxConfigSettingsStore store(file);
  EXPECT_FALSE(ReadWindowRect(store).has_value());
  ViewSettings view;
  ReadViewSettings(store, view);
  EXPECT_EQ(view.inputDevice, -1);
  EXPECT_EQ(view.outputDevice, -1);
  EXPECT_EQ(view.tuningHz, 441) << "a longer Device does not stop TuningHz";
}

TEST(SettingsStore, KeyThatCannotBeCreatedGivesTheMessageAndWritesNothing) {
  test::TempDir dir;
  const std::string blocker = dir.File("plain-file");
  test::WriteBytes(blocker, {0});
  WxConfigSettingsStore store(blocker + "/Velmora/Velmora.conf");
  test::FakeUi ui;
  EXPECT_FALSE(WriteWindowRect(store, ui, {1, 2, 3, 4}));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{msg::kCreateKeyFailed}));
  EXPECT_FALSE(store.OpenKey());
}

TEST(SettingsStore, DamagedFileGivesTheDefaultsQuietly) {
  test::TempDir dir;
  const std::string file = dir.File("Velmora.conf");
  test::WriteBytes(file, {'[', 'S', 'o', 'f', 't', 0xFF, '\n', '=', '=', '\n'});
  WxConfigSettingsStore store(file);
  EXPECT_FALSE(ReadWindowRect(store).has_value());
  test::FakeUi ui;
  EXPECT_TRUE(WriteWindowRect(store, ui, {5, 6, 7, 8})) << "the damaged file is replaced";
  EXPECT_EQ(ReadWindowRect(store)->left, 5);
}

}  // namespace
}  // namespace velmora
