// Menu 128, the command strings, tool bar 128 and the accelerators as the window layer gets them.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/CommandTable.h"
#include "document/CommandRules.h"
#include "seams/CommandIds.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

// One line per entry: path of captions, then "=id" for items; "-" for separators.
void Flatten(const std::vector<MenuEntry>& entries, const std::string& path,
             std::vector<std::string>& out) {
  for (const MenuEntry& e : entries) {
    switch (e.kind) {
      case MenuEntry::Kind::Separator:
        out.push_back(path + "-");
        break;
      case MenuEntry::Kind::Item:
        out.push_back(path + e.caption + "=" + std::to_string(e.id));
        break;
      case MenuEntry::Kind::Submenu:
        out.push_back(path + e.caption + ">");
        Flatten(e.children, path + e.caption + ">", out);
        break;
    }
  }
}

std::vector<int> MenuIds(const std::vector<MenuEntry>& entries) {
  std::vector<int> ids;
  for (const MenuEntry& e : entries) {
    if (e.kind == MenuEntry::Kind::Item) ids.push_back(e.id);
    for (int id : MenuIds(e.children)) ids.push_back(id);
  }
  return ids;
}

TEST(CommandTable, MainMenuHasEveryCaptionIdAndSeparatorInOrder) {
  std::vector<std::string> lines;
  Flatten(MainMenu(), "", lines);
  const std::string F = "ファイル(&F)>";
  const std::string E = "編集(&E)>";
  const std::string G = "録音/再生(&G)>";
  const std::string P = "位置(&P)>";
  const std::string O = "オプション(&O)>";
  const std::string FI = O + "フェードイン設定(&I)>";
  const std::string FO = O + "フェードアウト設定(&O)>";
  const auto channels = [](const std::string& path, std::vector<int> ids, const char* suffix) {
    std::vector<std::string> out;
    for (int i = 0; i < 4; ++i) {
      out.push_back(path + "チャンネル" + std::to_string(i + 1) + "(&" + std::to_string(i + 1) +
                    ")" + suffix + "=" + std::to_string(ids[i]));
    }
    return out;
  };
  std::vector<std::string> expected = {"ファイル(&F)>",
                                       F + "新規作成\tCtrl+N(&N)=57600",
                                       F + "開く...\tCtrl+O(&O)=57601",
                                       F + "上書き保存\tCtrl+S(&S)=57603",
                                       F + "名前を付けて保存(&A)...=57604",
                                       F + "-",
                                       F + "マーク間のデータを保存(&M)...=162",
                                       F + "-",
                                       F + "単独で保存(&C)...>"};
  const auto append = [&](const std::vector<std::string>& more) {
    expected.insert(expected.end(), more.begin(), more.end());
  };
  append(channels(F + "単独で保存(&C)...>", {151, 152, 153, 154}, ""));
  append({F + "チャンネル開放(&R)>"});
  append(channels(F + "チャンネル開放(&R)>", {155, 156, 157, 158}, ""));
  append({F + "-", F + "プロパティ(&P)...=160", F + "-", F + "アプリケーションの終了(&X)=57665",
          "編集(&E)>", E + "モノラル変換(&M)>"});
  append(channels(E + "モノラル変換(&M)>", {145, 146, 147, 148}, ""));
  append({E + "切り詰め(&T)>"});
  append(channels(E + "切り詰め(&T)>", {32813, 32814, 32815, 32816}, ""));
  append({"録音/再生(&G)>", G + "再生\tCtrl+P(&P)=32778", G + "録音\tCtrl+R(&R)=32781",
          G + "停止\tSpace(&S)=32779", G + "一時停止\tCtrl+T(&T)=32780", G + "-",
          G + "モノラル再生(&M)=164", G + "チャンネル選択(&C)>"});
  append(channels(G + "チャンネル選択(&C)>", {166, 167, 168, 169}, ""));
  append({"位置(&P)>", P + "先頭(&T)=32782", P + "最後(&B)=32783", P + "-",
          P + "開始マーク(&S)=32790", P + "終了マーク(&E)=32793", P + "-",
          P + "オフセット位置(&O)>"});
  append(channels(P + "オフセット位置(&O)>", {32804, 32805, 32806, 32807}, ""));
  append({"オプション(&O)>", O + "フェードイン設定(&I)>", FI + "全体(&A)...=32822"});
  append(channels(FI, {32824, 32825, 32828, 32827}, "..."));
  append({O + "フェードアウト設定(&O)>", FO + "全体(&A)...=32831"});
  append(channels(FO, {32830, 32832, 32834, 32835}, "..."));
  append({O + "録音設定(&R)...=32796", O + "-", O + "メトロノーム(&M)=32818", O + "-",
          O + "オーディオデバイス(&D)...=32798", "表示(&V)>",
          "表示(&V)>ミキシング補正(&M)...=32797", "ヘルプ(&H)>",
          "ヘルプ(&H)>トピックの検索(&H)...=57667", "ヘルプ(&H)>-",
          "ヘルプ(&H)>Velmoraのバージョン情報 (&A)...=57664"});
  EXPECT_EQ(lines, expected);
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
  EXPECT_EQ(keys,
            (std::vector<std::string>{"Ctrl+N=57600", "Ctrl+O=57601", "Ctrl+S=57603",
                                      "Ctrl+P=32778", "Ctrl+R=32781", " =32779", "Ctrl+T=32780"}));
}

// Every command whose rule ever gives a mark is built as a check item, and no other.
TEST(CommandTable, CheckItemsAreExactlyTheCommandsWithAMarkRule) {
  test::FakeUi ui;
  CVelmoraDoc empty(ui);
  CVelmoraDoc loaded(ui);
  ASSERT_TRUE(loaded.slots[0].data.Allocate(400));
  loaded.slots[0].frames = 100;
  loaded.slots[0].selected = 1;
  ASSERT_TRUE(loaded.mixBuffer.Allocate(400));
  loaded.mixFrames = 100;
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
