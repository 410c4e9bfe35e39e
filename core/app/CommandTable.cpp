#include "app/CommandTable.h"

#include <algorithm>

#include "io/Format.h"
#include "seams/CommandIds.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

using Kind = MenuEntry::Kind;

constexpr const char* kUndoCaption = "元に戻す\tCtrl+Z(&U)";
constexpr const char* kRedoCaption = "やり直し\tCtrl+Y(&R)";

MenuEntry Item(const char* caption, int id) {
  return {Kind::Item, caption, id, {}};
}
MenuEntry Separator() {
  return {Kind::Separator, "", 0, {}};
}
MenuEntry Submenu(const char* caption, std::vector<MenuEntry> children) {
  return {Kind::Submenu, caption, 0, std::move(children)};
}

// "チャンネル1(&1)" .. "チャンネル4(&4)" for the ids in channel order; `suffix` follows the
// mnemonic.
std::vector<MenuEntry> ChannelItems(const int (&ids)[4], const char* suffix = "") {
  std::vector<MenuEntry> items;
  items.reserve(4);
  for (int i = 0; i < 4; ++i) {
    items.push_back({Kind::Item, Format("チャンネル%d(&%d)%s", i + 1, i + 1, suffix), ids[i], {}});
  }
  return items;
}

std::vector<MenuEntry> ChannelItems(int first) {
  const int ids[4] = {first, first + 1, first + 2, first + 3};
  return ChannelItems(ids);
}

std::vector<MenuEntry> WithWhole(int wholeId, const int (&ids)[4]) {
  std::vector<MenuEntry> items{Item("全体(&A)...", wholeId)};
  for (MenuEntry& item : ChannelItems(ids, "...")) items.push_back(std::move(item));
  return items;
}

std::vector<MenuEntry> BuildMainMenu() {
  using namespace cmd;
  return {
      Submenu("ファイル(&F)",
              {Item("新規作成\tCtrl+N(&N)", kNew), Item("開く...\tCtrl+O(&O)", kOpen),
               Item("上書き保存\tCtrl+S(&S)", kSave), Item("名前を付けて保存(&A)...", kSaveAs),
               Separator(), Item("マーク間のデータを保存(&M)...", kSaveBetweenMarks), Separator(),
               Submenu("単独で保存(&C)...", ChannelItems(kSaveChannel)),
               Submenu("チャンネル開放(&R)", ChannelItems(kReleaseChannel)), Separator(),
               Item("プロパティ(&P)...", kProperties), Separator(),
               Item("アプリケーションの終了(&X)", kExit)}),
      Submenu("編集(&E)", {Item(kUndoCaption, kUndo), Item(kRedoCaption, kRedo), Separator(),
                           Submenu("モノラル変換(&M)", ChannelItems(kConvertToMono)),
                           Submenu("切り詰め(&T)", ChannelItems(kTrim))}),
      Submenu("録音/再生(&G)",
              {Item("再生\tCtrl+P(&P)", kPlay), Item("録音\tCtrl+R(&R)", kRecord),
               Item("停止\tSpace(&S)", kStop), Item("一時停止\tCtrl+T(&T)", kPause), Separator(),
               Item("モノラル再生(&M)", kMonoPlayback),
               Submenu("チャンネル選択(&C)", ChannelItems(kSelectChannel))}),
      Submenu("位置(&P)", {Item("先頭(&T)", kGoToStart), Item("最後(&B)", kGoToEnd), Separator(),
                           Item("開始マーク(&S)", kStartMark), Item("終了マーク(&E)", kEndMark),
                           Separator(), Submenu("オフセット位置(&O)", ChannelItems(kGoToOffset))}),
      Submenu(
          "オプション(&O)",
          {Submenu("フェードイン設定(&I)", WithWhole(kFadeInWhole, kFadeIn)),
           Submenu("フェードアウト設定(&O)", WithWhole(kFadeOutWhole, kFadeOut)),
           Item("録音設定(&R)...", kRecordSetup), Separator(), Item("メトロノーム(&M)", kMetronome),
           Separator(), Item("オーディオデバイス(&D)...", kAudioDevices)}),
      Submenu("表示(&V)", {Item("ミキシング補正(&M)...", kCorrections)}),
      Submenu("ヘルプ(&H)", {Item("トピックの検索(&H)...", kHelpFinder), Separator(),
                             Item("Velmoraのバージョン情報 (&A)...", kAbout)}),
  };
}

struct FixedText {
  int id;
  const char* prompt;
  const char* toolTip;
};

const FixedText kFixedTexts[] = {
    {cmd::kNew, "新規にファイルを作成", "新規ファイル"},
    {cmd::kOpen, "既存のファイルを開く", "開く"},
    {cmd::kSave, "作業中のファイルを上書きして保存", "保存"},
    {cmd::kSaveAs, "作業中のファイルを新しい名前で保存", "名前をつけて保存"},
    {cmd::kSaveBetweenMarks, "開始マークと終了マークの間のデータを保存", ""},
    {cmd::kProperties, "編集中のデータのプロパティを表示", ""},
    {cmd::kExit, "アプリケーションを終了し、ファイルの保存を指示", "終了"},
    {cmd::kUndo, "直前の操作を元に戻す", ""},
    {cmd::kRedo, "元に戻した操作をやり直す", ""},
    {cmd::kPlay, "ミキシング後のデータを再生", "再生"},
    {cmd::kRecord, "新しいチャンネルのデータを録音", "録音"},
    {cmd::kStop, "録音/再生処理を停止", "停止"},
    {cmd::kPause, "録音/再生処理を一時停止", "一時停止"},
    {cmd::kMonoPlayback, "モノラルの状態で再生", "モノラル再生"},
    {cmd::kGoToStart, "開始位置に移動", "開始位置へ"},
    {cmd::kGoToEnd, "終了位置に移動", "終了位置へ"},
    {cmd::kStartMark, "開始位置としてマークを設定", "開始マーク"},
    {cmd::kEndMark, "終了位置としてマークを設定", "終了マーク"},
    {cmd::kFadeInWhole, "合成データのフェードイン方法の設定", ""},
    {cmd::kFadeOutWhole, "合成データのフェードアウト方法の設定", ""},
    {cmd::kRecordSetup, "録音時のオプションの設定", ""},
    {cmd::kMetronome, "メトロノーム機能の設定", ""},
    {cmd::kAudioDevices, "オーディオデバイスの選択", ""},
    {cmd::kCorrections, "ミキシング時の補正一覧を表示", ""},
    {cmd::kHelpFinder, "ヘルプウィンドウを表示します。", ""},
    {cmd::kAbout, "プログラム情報、バージョン、著作権を表示します。", "バージョン情報"},
};

// Per-channel strings: the channel's digit goes where the template has %d.
struct ChannelText {
  int ids[4];
  const char* prompt;
  const char* toolTip;
};

const ChannelText kChannelTexts[] = {
    {{151, 152, 153, 154}, "チャンネル%dのデータを単独で保存", ""},
    {{155, 156, 157, 158}, "チャンネル%dのデータを開放", ""},
    {{145, 146, 147, 148}, "チャンネル%dのデータをモノラルに変換", ""},
    {{32813, 32814, 32815, 32816},
     "チャンネル%dのデータを開始マークと終了マーク間のみに切り詰める",
     ""},
    {{166, 167, 168, 169}, "チャンネル%dのデータを再生時に加える", "チャンネル%d選択"},
    {{32804, 32805, 32806, 32807}, "チャンネル%dのオフセット位置に移動", ""},
    {{32824, 32825, 32828, 32827}, "チャンネル%dのフェードイン方法の設定", ""},
    {{32830, 32832, 32834, 32835}, "チャンネル%dのフェードアウト方法の設定", ""},
};

}  // namespace

const std::vector<MenuEntry>& MainMenu() {
  static const std::vector<MenuEntry> menu = BuildMainMenu();
  return menu;
}

CommandText CommandTextOf(int id) {
  for (const FixedText& text : kFixedTexts) {
    if (text.id == id) return {text.prompt, text.toolTip};
  }
  for (const ChannelText& text : kChannelTexts) {
    for (int i = 0; i < 4; ++i) {
      if (text.ids[i] != id) continue;
      const std::string tip = *text.toolTip != '\0' ? Format(text.toolTip, i + 1) : std::string();
      return {Format(text.prompt, i + 1), tip};
    }
  }
  return {};
}

bool HasCheckMark(int id) {
  using namespace cmd;
  static const int kChecked[] = {kPlay,         kRecord,    kStop,   kPause,
                                 kMonoPlayback, kStartMark, kEndMark};
  return std::find(std::begin(kChecked), std::end(kChecked), id) != std::end(kChecked) ||
         ChannelOf(id, kSelectChannel) >= 0;
}

const std::vector<int>& ToolBarLayout() {
  using namespace cmd;
  static const std::vector<int> layout = {kNew,
                                          kOpen,
                                          kSave,
                                          kToolSeparator,
                                          kStop,
                                          kPlay,
                                          kPause,
                                          kRecord,
                                          kToolSeparator,
                                          kGoToStart,
                                          kGoToEnd,
                                          kStartMark,
                                          kEndMark,
                                          kToolSeparator,
                                          kMonoPlayback,
                                          kToolSeparator,
                                          kSelectChannel,
                                          kSelectChannel + 1,
                                          kSelectChannel + 2,
                                          kSelectChannel + 3,
                                          kToolSeparator,
                                          kAbout};
  return layout;
}

const std::vector<Accelerator>& Accelerators() {
  using namespace cmd;
  static const std::vector<Accelerator> table = {
      {true, 'N', kNew},   {true, 'O', kOpen},   {true, 'S', kSave},
      {true, 'P', kPlay},  {true, 'R', kRecord}, {false, ' ', kStop},
      {true, 'T', kPause}, {true, 'Z', kUndo},   {true, 'Y', kRedo},
  };
  return table;
}

std::string UndoCaption(int id, const std::string& stepName) {
  const bool undo = id == cmd::kUndo;
  if (stepName.empty()) return undo ? kUndoCaption : kRedoCaption;
  return Format(undo ? "元に戻す: %s\tCtrl+Z(&U)" : "やり直し: %s\tCtrl+Y(&R)", stepName.c_str());
}

std::string MnemonicBeforeKeyText(const std::string& caption) {
  const std::size_t tab = caption.find('\t');
  if (tab == std::string::npos) return caption;
  const std::size_t open = caption.rfind("(&");
  if (open == std::string::npos || open < tab || caption.back() != ')') return caption;
  const std::string mnemonic = caption.substr(open);
  return caption.substr(0, tab) + mnemonic + caption.substr(tab, open - tab);
}

}  // namespace velmora
