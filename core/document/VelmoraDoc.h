#pragma once
// The single document: four channel slots, the marks and play position, the mix with its header,
// peaks and correction log, the fade settings, and the title / path / modified state that the
// window layer shows. Everything here runs on the user-interface thread except the mixdown
// worker, which reads the slots and writes the mix, its peaks, its log, mixCursor and the worker
// flags; commands that would change what the worker reads are disabled while workerBusy is 1.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "document/ChannelSlot.h"
#include "document/WavHeader.h"
#include "io/ByteBuffer.h"
#include "mixdown/BlockPeakTable.h"
#include "mixdown/FadeCurve.h"
#include "mixdown/MixCorrection.h"

namespace velmora {

class Ui;
class AudioDecoder;

enum class TransportState : int32_t { Stopped = 0, Playing = 1, Recording = 2, TuningTone = 3 };

// The window layer's view of the document: told when the views must refresh or the title moved.
class DocumentListener {
 public:
  virtual ~DocumentListener() = default;
  virtual void OnUpdateAllViews(int hint) = 0;
  virtual void OnTitleChanged(const std::string& title) = 0;
};

// Messages of the document, used exactly as they stand.
namespace msg {
inline constexpr const char* kOutOfMemory = "メモリが確保（malloc）できません!";
inline constexpr const char* kReadFailed = "ファイルの読み込みに失敗しました。";
inline constexpr const char* kNoEmptySlot = "これ以上読み込むことはできません!";
inline constexpr const char* kWrongType = "ファイル形式が違います。";
inline constexpr const char* kNotPcm = "PCMデータではありません!";
inline constexpr const char* kShortHeader = "ヘッダ情報が足りません!";
inline constexpr const char* kRateMismatch = "サンプリング周波数が一致しません!";
inline constexpr const char* kUnsupportedFormat =
    "このファイルの形式には対応していません!\n(8ビットまたは16ビットのモノラル/ステレオのみ)";
inline constexpr const char* kSaveFailed = "Wavファイルの保存に失敗しました。";
inline constexpr const char* kUnsavedChannel =
    "チャンネル%dのデータは保存されていません。\n保存しますか？";
inline constexpr const char* kSaveChanges = "%s への変更を保存しますか？";
inline constexpr const char* kUntitled = "無題";
}  // namespace msg

class CVelmoraDoc {
 public:
  explicit CVelmoraDoc(Ui& ui);
  // Waits for a running mixdown worker (asking it to stop) before the buffers go.
  ~CVelmoraDoc();
  CVelmoraDoc(const CVelmoraDoc&) = delete;
  CVelmoraDoc& operator=(const CVelmoraDoc&) = delete;

  // ---- Channel slots ----
  std::array<ChannelSlot, kChannelCount> slots;

  // ---- Document-wide fields ----
  int32_t monoPlayback = 0;
  uint8_t paused = 0;
  TransportState transportState = TransportState::Stopped;
  uint32_t startMark = 0;
  uint32_t endMark = 0;  // 0 or mixFrames - 1 = not set
  uint32_t position = 0;
  OutHeader outHeader{};
  std::string outputPath;
  uint32_t mixFrames = 0;
  ByteBuffer mixBuffer;  // stereo PCM at the mix format; absent = no mix
  BlockPeakTable blockPeaks;
  std::atomic<uint8_t> mixStale{0};
  int32_t recordChannel = 0;
  std::vector<MixCorrection> corrections;
  std::array<FadeSetting, 5> fadeIn{};
  std::array<FadeSetting, 5> fadeOut{};
  std::atomic<uint32_t> mixCursor{0};
  std::atomic<int32_t> workerBusy{0};
  std::atomic<int32_t> workerStop{0};
  std::thread workerThread;
  uint32_t mixBlockFrames = 0;

  // ---- Queries ----
  bool HasAnyChannel() const;
  bool IsRateCompatible(int32_t rate) const;
  bool HasMix() const { return mixBuffer.has(); }
  int32_t correctionCount() const { return static_cast<int32_t>(corrections.size()); }
  uint32_t MixRate() const { return static_cast<uint32_t>(outHeader.riff.samplesPerSec); }
  int MixBits() const { return outHeader.riff.bitsPerSample; }
  bool IsIdle() const {
    return transportState == TransportState::Stopped && workerBusy.load() == 0;
  }
  // First slot without data, or -1.
  int FirstEmptySlot() const;

  // ---- Life cycle ----
  void UpdateOutputFormat();
  bool OnNewDocument();
  // Asked before New and before the application closes; false = stay.
  bool SaveModified();

  // ---- Loading ----
  void OpenFileCommand();
  // Open's steps once a file is chosen (also for files named on the command line): the next
  // free slot or the 'no empty slot' message, the load, the modified flag, the refresh.
  void OpenPath(const std::string& path);
  // Reads the file named by slots[index].path; the caller stores the path first and empties it
  // again on failure (LoadIntoSlot does both).
  bool LoadChannel(int index);
  // Steps shared by Open and dropped files: reset the slot, store the path, load, clear the path
  // on failure, title "無題" while there is no mix file.
  bool LoadIntoSlot(int index, const std::string& path);
  // Decoder for compressed files; null until the platform provides one.
  void SetAudioDecoder(AudioDecoder* decoder) { audioDecoder_ = decoder; }

  // ---- Saving ----
  void OnFileSave();  // Save (57603)
  void SaveMixAs();   // Save As (57604)
  bool SaveMix();
  void SaveBetweenMarks();
  bool SaveChannel(int index);

  // ---- Channel edits ----
  bool ConvertToMono(int index);
  void TrimToMarks(int index);
  void ReleaseChannel(int index);

  // ---- Mixdown ----
  // Returns 1 when a mix is ready or being built by the worker, 0 when nothing was built.
  int BuildMix(uint32_t blockFrames, int runInWorker);
  // The kernel; always returns 1. Runs inline or as the worker's body.
  int Mixdown();
  // Blocks until no worker runs; with askToStop the worker is asked to end early first.
  void WaitForWorker(bool askToStop);

  // ---- What the framework's document class supplied ----
  const std::string& GetTitle() const { return title_; }
  void SetTitle(const std::string& title);
  const std::string& GetPathName() const { return pathName_; }
  // Also takes the file name as the title, as the framework does.
  void SetPathName(const std::string& path);
  bool IsModified() const { return modified_; }
  void SetModifiedFlag(bool modified = true) { modified_ = modified; }
  void UpdateAllViews(int hint = 0);
  void SetListener(DocumentListener* listener) { listener_ = listener; }
  Ui& ui() { return ui_; }

 private:
  bool LoadWav(int index);
  bool ImportCompressed(int index);
  void CompleteLoad(int index);
  void ResetMix();

  Ui& ui_;
  AudioDecoder* audioDecoder_ = nullptr;
  DocumentListener* listener_ = nullptr;
  std::string title_;
  std::string pathName_;
  bool modified_ = false;
};

// The last three characters of a UTF-8 path, upper-cased (ASCII letters only change).
std::string UpperExtension3(const std::string& path);
// The file name part of a path.
std::string FileNameOf(const std::string& path);

}  // namespace velmora
