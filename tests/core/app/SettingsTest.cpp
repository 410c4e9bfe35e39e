// The three persistent values: layout, defaults, the size rule, write order and failures.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "seams/SettingsStore.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

using Bytes = std::vector<uint8_t>;

// A key in memory that can be told to fail, and that records what was written, in order.
class FakeStore : public SettingsStore {
 public:
  bool OpenKey() override {
    ++opens;
    return keyExists;
  }
  bool CreateKey() override {
    if (failCreate) return false;
    keyExists = true;
    return true;
  }
  std::optional<Bytes> ReadValue(const std::string& name) override {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool WriteValue(const std::string& name, const Bytes& bytes) override {
    writes.push_back(name);
    if (name == failValue) return false;
    values[name] = bytes;
    return true;
  }
  void CloseKey() override { ++closes; }

  bool keyExists = false;
  bool failCreate = false;
  std::string failValue;
  std::map<std::string, Bytes> values;
  std::vector<std::string> writes;
  int opens = 0;
  int closes = 0;
};

TEST(Settings, FirstStartGivesTheDefaultsAndExitWritesAllThreeValuesLittleEndian) {
  FakeStore store;
  test::FakeUi ui;
  EXPECT_FALSE(ReadWindowRect(store).has_value());
  ViewSettings view;
  view.inputDevice = 3;
  view.tuningHz = 0;
  ReadViewSettings(store, view);
  EXPECT_EQ(view.inputDevice, -1);
  EXPECT_EQ(view.outputDevice, -1);
  EXPECT_EQ(view.tuningHz, 440);

  EXPECT_TRUE(WriteWindowRect(store, ui, {-8, 300, 0x01020304, -2}));
  view.inputDevice = 2;
  view.tuningHz = 442;
  EXPECT_TRUE(WriteViewSettings(store, ui, view));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(store.writes, (std::vector<std::string>{"Rect", "Device", "TuningHz"}));
  EXPECT_EQ(store.values["Rect"], (Bytes{0xF8, 0xFF, 0xFF, 0xFF, 0x2C, 0x01, 0, 0, 0x04, 0x03, 0x02,
                                         0x01, 0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(store.values["Device"], (Bytes{2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(store.values["TuningHz"], (Bytes{0xBA, 0x01, 0, 0}));

  const std::optional<WindowRect> rect = ReadWindowRect(store);
  ASSERT_TRUE(rect.has_value());
  EXPECT_EQ(rect->left, -8);
  EXPECT_EQ(rect->top, 300);
  ViewSettings again;
  ReadViewSettings(store, again);
  EXPECT_EQ(again.inputDevice, 2);
  EXPECT_EQ(again.outputDevice, -1);
  EXPECT_EQ(again.tuningHz, 442);
}

// A value is taken only at its exact size; a wrong one leaves its default and nothing else.
TEST(Settings, ValueOfAnotherSizeKeepsItsDefault) {
  struct Row {
    const char* name;
    std::size_t size;
    bool rectRead;
    int32_t input;
    int32_t tuning;
  };
  const Row rows[] = {
      {"Rect", 16, true, 5, 500},    {"Rect", 17, false, 5, 500},  {"Rect", 15, false, 5, 500},
      {"Device", 9, true, -1, 500},  {"Device", 4, true, -1, 500}, {"TuningHz", 5, true, 5, 440},
      {"TuningHz", 2, true, 5, 440},
  };
  for (const Row& row : rows) {
    FakeStore store;
    store.keyExists = true;
    store.values["Rect"] = Bytes(16, 0);
    store.values["Device"] = {5, 0, 0, 0, 6, 0, 0, 0};
    store.values["TuningHz"] = {0xF4, 0x01, 0, 0};
    store.values[row.name] = Bytes(row.size, 1);
    if (row.size > 4) store.values[row.name][0] = store.values[row.name][4] = 5;
    if (std::string(row.name) == "TuningHz" && row.size >= 2) store.values[row.name][1] = 0x01;
    SCOPED_TRACE(std::string(row.name) + " of " + std::to_string(row.size) + " bytes");
    EXPECT_EQ(ReadWindowRect(store).has_value(), row.rectRead);
    ViewSettings view;
    ReadViewSettings(store, view);
    EXPECT_EQ(view.inputDevice, row.input);
    EXPECT_EQ(view.tuningHz, row.tuning);
  }
}

TEST(Settings, TuningFrequencyIsKeptInTheTonesRange) {
  const std::pair<Bytes, int32_t> rows[] = {
      {{0, 0, 0, 0}, 1}, {{0xFF, 0xFF, 0xFF, 0xFF}, 1}, {{0x00, 0x00, 0x01, 0x00}, 22050}};
  for (const auto& [bytes, expected] : rows) {
    FakeStore store;
    store.keyExists = true;
    store.values["TuningHz"] = bytes;
    ViewSettings view;
    ReadViewSettings(store, view);
    EXPECT_EQ(view.tuningHz, expected);
  }
}

TEST(Settings, WriteFailureShowsItsMessageAndStopsThere) {
  struct Row {
    bool failCreate;
    const char* failValue;
    std::vector<std::string> messages;
    std::vector<std::string> writes;
    int closes;
  };
  const Row rows[] = {
      {true, "", {"RegCreateKeyEx failed.", "RegCreateKeyEx failed."}, {}, 0},
      {false, "Rect", {"RegSetValueEx(Params) failed."}, {"Rect", "Device", "TuningHz"}, 2},
      {false, "Device", {"RegSetValueEx(ucDevice) failed."}, {"Rect", "Device"}, 2},
      {false, "TuningHz", {"RegSetValueEx(ucTuningHz) failed."}, {"Rect", "Device", "TuningHz"}, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.failCreate ? "create" : row.failValue);
    FakeStore store;
    store.failCreate = row.failCreate;
    store.failValue = row.failValue;
    test::FakeUi ui;
    const bool rectWritten = WriteWindowRect(store, ui, {1, 2, 3, 4});
    const bool viewWritten = WriteViewSettings(store, ui, ViewSettings{});
    EXPECT_EQ(rectWritten, !row.failCreate && std::string(row.failValue) != "Rect");
    EXPECT_EQ(viewWritten, !row.failCreate && std::string(row.failValue) != "Device" &&
                               std::string(row.failValue) != "TuningHz");
    EXPECT_EQ(ui.Texts(), row.messages);
    for (const test::ShownMessage& m : ui.messages) EXPECT_EQ(m.icon, MessageIcon::Stop);
    EXPECT_EQ(store.writes, row.writes);
    EXPECT_EQ(store.closes, row.closes) << "the key is closed after a failed value too";
  }
}

}  // namespace
}  // namespace velmora
