#pragma once
// The single document: four channel slots, the marks and play position, the mix with its header,
// peaks and correction log, the fade settings, and the title / path / modified state that the
// window layer shows. The view reads the document and changes it only through the methods below.

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/ChannelSlot.h"
#include "document/DocumentChange.h"
#include "document/MixPlan.h"
#include "document/MixWorker.h"
#include "document/UndoHistory.h"
#include "document/WavHeader.h"
#include "io/ByteBuffer.h"
#include "io/Failure.h"
#include "mixdown/BlockPeakTable.h"
#include "mixdown/FadeCurve.h"
#include "mixdown/MixCorrection.h"

namespace velmora {

class Ui;
class AudioDecoder;
class MixKernel;

namespace test {
class DocumentAccess;
}

enum class TransportState : int32_t { Stopped = 0, Playing = 1, Recording = 2, TuningTone = 3 };

// The window layer's view of the document: told when the views must refresh or the title moved.
class DocumentListener {
 public:
  virtual ~DocumentListener() = default;
  virtual void OnUpdateAllViews(const DocumentNotice& notice) = 0;
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
inline constexpr const char* kProjectUnreadable = "プロジェクトファイルの内容が正しくありません。";
inline constexpr const char* kProjectVersion = "このバージョンでは読めないプロジェクトファイルです。";
inline constexpr const char* kUnsavedChannel =
    "チャンネル%dのデータは保存されていません。\n保存しますか？";
inline constexpr const char* kSaveChanges = "%s への変更を保存しますか？";
inline constexpr const char* kUntitled = "無題";
}  // namespace msg

// Every method is called on the user-interface thread. Which thread reads and writes each field
// is said where the fields are declared, under "Fields".
class CVelmoraDoc {
 public:
  explicit CVelmoraDoc(Ui& ui);
  // Asks a running mixdown worker to stop and waits for it before the buffers go.
  ~CVelmoraDoc();
  CVelmoraDoc(const CVelmoraDoc&) = delete;
  CVelmoraDoc& operator=(const CVelmoraDoc&) = delete;

  // ---- Channel slots ----
  // Changed only by the document's own changes (Apply) and New; a worker build reads the sample
  // bytes, which nothing replaces or frees while workerBusy().
  const ChannelSlot& slot(int index) const { return slots_[index]; }
  const std::array<ChannelSlot, kChannelCount>& slots() const { return slots_; }

  // The slot being recorded into (the recorder sets it at Record).
  int32_t recordChannel() const { return recordChannel_; }
  void SetRecordChannel(int32_t channel) { recordChannel_ = channel; }

  // ---- Document-wide fields ----
  bool monoPlayback() const { return monoPlayback_; }
  bool paused() const { return paused_; }
  TransportState transportState() const { return transportState_; }
  // Frame indexes into the mix. A start mark of 0 is not set; an end mark of 0 or mixFrames - 1
  // is not set (the end of the mix).
  uint32_t startMark() const { return startMark_; }
  uint32_t endMark() const { return endMark_; }
  uint32_t position() const { return position_; }
  const OutHeader& outHeader() const { return outHeader_; }
  const std::string& outputPath() const { return outputPath_; }
  uint32_t mixFrames() const { return mixFrames_; }
  // Stereo PCM in mixFormat(); absent = no mix. While workerBusy() only the frames before
  // mixCursor() are final.
  const ByteBuffer& mixBuffer() const { return mixBuffer_; }
  // The format the mix was built in. A load rewrites the output format while a stale mix stays,
  // so whatever reads or writes the mix's bytes takes this one, not the output format.
  const MixFormat& mixFormat() const { return mixFormat_; }
  // The meters may read it while a worker build writes later entries.
  const BlockPeakTable& blockPeaks() const { return blockPeaks_; }
  // Any thread.
  bool mixStale() const {
    return changeCount_.load(std::memory_order_acquire) !=
           builtCount_.load(std::memory_order_acquire);
  }
  // Not while workerBusy(): a worker build appends to it.
  const std::vector<MixCorrection>& corrections() const { return corrections_; }
  int32_t correctionCount() const { return static_cast<int32_t>(corrections_.size()); }
  const FadeSettings& fadeIn() const { return fadeIn_; }
  const FadeSettings& fadeOut() const { return fadeOut_; }
  // Any thread: the frame a worker build is mixing; every frame before it in mixing order (from
  // the build's start to the end, then from frame 0) is written.
  uint32_t mixCursor() const { return mixCursor_.load(std::memory_order_acquire); }
  // Any thread: a background build runs.
  bool workerBusy() const { return worker_.busy(); }
  // Block length of the last build's peak table.
  uint32_t mixBlockFrames() const { return mixBlockFrames_; }

  // ---- Queries ----
  bool HasAnyChannel() const;
  bool IsRateCompatible(int32_t rate) const;
  bool HasMix() const { return mixBuffer_.has(); }
  uint32_t MixRate() const { return static_cast<uint32_t>(outHeader_.riff.samplesPerSec); }
  int MixBits() const { return outHeader_.riff.bitsPerSample; }
  bool IsIdle() const { return transportState_ == TransportState::Stopped && !workerBusy(); }
  // First slot without data, or -1.
  int FirstEmptySlot() const;

  // ---- Changes ----
  // Applies a change and returns the change that undoes it. Settings are taken as given (the
  // panel keeps them in range); every change but the marks and the output path makes the mix
  // stale. The views are not told: the caller tells them, with NoticeOf(change) or more.
  DocumentChange Apply(DocumentChange change);
  // Applies `changes` in order as one step the user can undo, named `name` (absent: after the
  // first change). A step with `mergeKey` joins the newest step recorded just before with the
  // same key: a setting moved in many moves is undone at once.
  void ApplyStep(std::vector<DocumentChange> changes, std::string name = {},
                 std::optional<int> mergeKey = std::nullopt);
  // The newest step taken back or done again, the views told; false when there was none or it
  // could not be applied (the user is told, the step stays).
  bool Undo();
  bool Redo();
  const UndoHistory& history() const { return history_; }
  // A channel's mixer parameters (index 0..3), applied as steps the user can undo.
  void SetLevel(int index, int32_t level);
  void SetBalance(int index, int32_t balance);
  void SetOffset(int index, int32_t milliseconds);
  void SetSelected(int index, bool selected);
  void SetMonoPlayback(bool on);
  // Index 0..3 = channel 1..4, kWholeMix = the whole mix. Each makes the mix stale.
  void SetFadeIn(int index, FadeSetting fade);
  void SetFadeOut(int index, FadeSetting fade);
  // Whether the mix must be rebuilt before it is played or saved. Stale counts a change: a build
  // running meanwhile does not make the mix current (only a build that saw the latest change
  // does). Not stale makes the mix current as it stands.
  void SetMixStale(bool stale);
  // The transport's state, the play position and the marks; none of them makes the mix stale.
  void SetTransportState(TransportState state) { transportState_ = state; }
  void SetPaused(bool paused) { paused_ = paused; }
  void SetPosition(uint32_t frame) { position_ = frame; }
  // Each mark on its own, as a change of the marks.
  void SetStartMark(uint32_t frame);
  void SetEndMark(uint32_t frame);

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
  // Steps shared by Open and dropped files: the file read and, when it loads, put into the slot
  // as a change; title "無題" while there is no mix file.
  bool LoadIntoSlot(int index, const std::string& path);
  // Decoder for compressed files; null until the platform provides one.
  void SetAudioDecoder(AudioDecoder* decoder) { audioDecoder_ = decoder; }

  // ---- Saving ----
  void OnFileSave();  // Save (cmd::kSave)
  void SaveMixAs();   // Save As (cmd::kSaveAs)
  bool SaveMix();
  void SaveBetweenMarks();
  bool SaveChannel(int index);
  // Fills outHeader for `frames` stereo frames at the mix format and writes them, from mix frame
  // `first`, straight from the mix buffer. The caller keeps the range inside the mix; no worker
  // may be building it. A failure is SaveFailed, with the system's reason.
  Result WriteMixFile(const std::string& path, uint32_t first, uint32_t frames);

  // ---- Channel edits ----
  bool ConvertToMono(int index);
  void TrimToMarks(int index);
  // False when the channel was empty or the user kept it.
  bool ReleaseChannel(int index);

  // ---- Mixdown ----
  // The mix the channels and settings make now, with peak blocks of `blockFrames` (absent: as
  // Save chooses them by the mix rate). BuildMix makes this plan's mix.
  MixPlan PlannedMix(std::optional<uint32_t> blockFrames) const;
  // Builds the planned mix from the position (wrapping to frame 0), here or, with runInWorker,
  // on the worker thread. A synchronous build waits for a running worker first; a worker build
  // leaves a running one alone.
  MixBuild BuildMix(std::optional<uint32_t> blockFrames, bool runInWorker);
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
  void UpdateAllViews(const DocumentNotice& notice = DocumentNotice::Refresh());
  void SetListener(DocumentListener* listener) { listener_ = listener; }
  Ui& ui() { return ui_; }

 private:
  friend class test::DocumentAccess;

  // What a load changes beside its slot: the output format, a stale mix, the marks, a stop.
  void CompleteLoad();
  void ResetMix();
  // Builds a current mix for saving when there is none; true when there is one to write (an
  // empty mix included).
  bool PrepareMixForSaving();
  // The kernel's run on either thread. The mix is current once it returns unless a change was
  // counted after `generation` (the change count the build was made from).
  void RunKernel(MixKernel& kernel, uint32_t generation);
  MixBuild FailOutOfMemory(MixBuild result);
  // Reads the file named by content.path into `content`, at its automatic level; false (the
  // user told why) when it cannot be loaded.
  bool ReadChannel(ChannelSlot& content);
  DocumentChange ApplyOne(LevelChange change);
  DocumentChange ApplyOne(BalanceChange change);
  DocumentChange ApplyOne(OffsetChange change);
  DocumentChange ApplyOne(SelectionChange change);
  DocumentChange ApplyOne(FadeChange change);
  DocumentChange ApplyOne(MonoPlaybackChange change);
  DocumentChange ApplyOne(MarksChange change);
  DocumentChange ApplyOne(OutputPathChange change);
  DocumentChange ApplyOne(ChannelContentChange change);
  DocumentChange ApplyOne(TrimChange change);
  // Applies the changes in order; the step that takes them back, the marks included when they
  // moved with a channel's content.
  UndoStep ApplyAll(std::vector<DocumentChange> changes, std::string name);
  bool TakeBack(bool undo);
  // False for a setting that already has the value the change gives it.
  bool WouldChange(const DocumentChange& change) const;

  // ---- Fields ----
  // User-interface thread only, read and written. A worker build works from a copy of the
  // parameters, fades and mix format taken when it starts.
  Ui& ui_;
  std::array<ChannelSlot, kChannelCount> slots_;
  AudioDecoder* audioDecoder_ = nullptr;
  DocumentListener* listener_ = nullptr;
  std::string title_;
  std::string pathName_;
  bool modified_ = false;
  bool monoPlayback_ = false;
  bool paused_ = false;
  TransportState transportState_ = TransportState::Stopped;
  int32_t recordChannel_ = 0;
  uint32_t startMark_ = 0;
  uint32_t endMark_ = 0;
  uint32_t position_ = 0;
  OutHeader outHeader_{};
  std::string outputPath_;
  uint32_t mixFrames_ = 0;
  MixFormat mixFormat_{};
  FadeSettings fadeIn_{};
  FadeSettings fadeOut_{};
  uint32_t mixBlockFrames_ = 0;
  UndoHistory history_;
  // Set by a change that could not get the memory it needed and changed nothing.
  bool applyFailed_ = false;
  // An undo brought the marks back with channels whose mix had gone: the next build keeps the
  // end mark as the user set it.
  bool endMarkRestored_ = false;

  // The mix. The user-interface thread allocates, replaces and frees these only while no worker
  // build runs. A worker build writes the contents: mixBuffer_'s bytes (the user-interface
  // thread and the audio callback read only frames before mixCursor_), blockPeaks_ (atomic
  // entries; the meters read them any time) and corrections_ (read once the build is over).
  ByteBuffer mixBuffer_;
  BlockPeakTable blockPeaks_;
  std::vector<MixCorrection> corrections_;
  // Written by the worker build as it goes (release), read by any thread (acquire).
  std::atomic<uint32_t> mixCursor_{0};
  // The mix is stale while these differ. changeCount_ is raised by the user-interface thread for
  // every change; builtCount_ is the change count the current mix was made from, stored by the
  // build that made it (on either thread, before workerBusy falls) or by SetMixStale(false).
  std::atomic<uint32_t> changeCount_{0};
  std::atomic<uint32_t> builtCount_{0};
  // Declared last, so destroyed first: its thread has stopped before anything it writes goes.
  MixWorker worker_;
};

// The last three characters of a UTF-8 path, upper-cased (ASCII letters only change).
std::string UpperExtension3(const std::string& path);
// The file name part of a path.
std::string FileNameOf(const std::string& path);

}  // namespace velmora
