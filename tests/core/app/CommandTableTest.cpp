// Menu 128, the command strings, tool bar 128 and the accelerators as the window layer gets them.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/CommandTable.h"
#include "document/CommandRules.h"
#include "seams/CommandIds.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

std::vector<int> MenuIds(const std::vector<MenuEntry>& entries) {
  std::vector<int> ids;
  for (const MenuEntry& e : entries) {
    if (e.kind == MenuEntry::Kind::Item) ids.push_back(e.id);
    for (int id : MenuIds(e.children)) ids.push_back(id);
  }
  return ids;
}

TEST(CommandTable, EveryMenuCommandHasItsPromptAndEveryToolItsTip) {
  const std::vector<int> ids = MenuIds(MainMenu());
  EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size()) << "ids are unique";
  for (int id : ids) EXPECT_FALSE(CommandTextOf(id).prompt.empty()) << id;
  for (int id : ToolBarLayout()) {
    if (id == kToolSeparator) continue;
    EXPECT_FALSE(CommandTextOf(id).toolTip.empty()) << id;
    EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end()) << id << " is on the menu too";
  }
}

TEST(CommandTable, ChannelStringsCarryTheChannelDigit) {
  struct Row {
    int id;
    const char* prompt;
    const char* tip;
  };
  const Row rows[] = {
      {153, "チャンネル3のデータを単独で保存", ""},
      {158, "チャンネル4のデータを開放", ""},
      {145, "チャンネル1のデータをモノラルに変換", ""},
      {32814, "チャンネル2のデータを開始マークと終了マーク間のみに切り詰める", ""},
      {169, "チャンネル4のデータを再生時に加える", "チャンネル4選択"},
      {32806, "チャンネル3のオフセット位置に移動", ""},
      {32828, "チャンネル3のフェードイン方法の設定", ""},
      {32827, "チャンネル4のフェードイン方法の設定", ""},
      {32834, "チャンネル3のフェードアウト方法の設定", ""},
      {32835, "チャンネル4のフェードアウト方法の設定", ""},
      {57600, "新規にファイルを作成", "新規ファイル"},
      {57604, "作業中のファイルを新しい名前で保存", "名前をつけて保存"},
      {57664, "プログラム情報、バージョン、著作権を表示します。", "バージョン情報"},
      {99999, "", ""},
  };
  for (const Row& row : rows) {
    const CommandText text = CommandTextOf(row.id);
    EXPECT_EQ(text.prompt, row.prompt) << row.id;
    EXPECT_EQ(text.toolTip, row.tip) << row.id;
  }
}

TEST(CommandTable, ToolBarAndAcceleratorsInTheirOrder) {
  const int S = kToolSeparator;
  EXPECT_EQ(
      ToolBarLayout(),
      (std::vector<int>{57600, 57601, 57603, S,   32779, 32778, 32780, 32781, S,   32782, 32783,
                        32790, 32793, S,     164, S,     166,   167,   168,   169, S,     57664}));
  std::vector<std::string> keys;
  for (const Accelerator& a : Accelerators()) {
    keys.push_back(std::string(a.ctrl ? "Ctrl+" : "") + static_cast<char>(a.key) + "=" +
                   std::to_string(a.id));
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Ctrl+N=57600", "Ctrl+O=57601", "Ctrl+S=57603",
                                            "Ctrl+P=32778", "Ctrl+R=32781", " =32779",
                                            "Ctrl+T=32780", "Ctrl+Z=57643", "Ctrl+Y=57644"}));
}

// Every command whose rule ever gives a mark is built as a check item, and no other.
TEST(CommandTable, CheckItemsAreExactlyTheCommandsWithAMarkRule) {
  test::FakeUi ui;
  CVelmoraDoc empty(ui);
  CVelmoraDoc loaded(ui);
  test::PutSilence(loaded, 0, {}, 100);
  test::PutMix(loaded, 100);
  for (int id : MenuIds(MainMenu())) {
    bool marked = false;
    for (const CVelmoraDoc* doc : {&empty, &loaded}) {
      marked = marked || QueryCommandState(*doc, id).check != CheckMark::Unchanged;
    }
    EXPECT_EQ(HasCheckMark(id), marked) << id;
  }
}

TEST(CommandTable, MnemonicMovesBeforeTheKeyText) {
  const std::pair<const char*, const char*> rows[] = {
      {"開く...\tCtrl+O(&O)", "開く...(&O)\tCtrl+O"},
      {"停止\tSpace(&S)", "停止(&S)\tSpace"},
      {"名前を付けて保存(&A)...", "名前を付けて保存(&A)..."},
      {"Velmoraのバージョン情報 (&A)...", "Velmoraのバージョン情報 (&A)..."},
      {"key\tCtrl+K", "key\tCtrl+K"},
  };
  for (const auto& [caption, label] : rows) EXPECT_EQ(MnemonicBeforeKeyText(caption), label);
}

}  // namespace
}  // namespace velmora
