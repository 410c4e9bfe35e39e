#include "document/VelmoraDoc.h"

#include <algorithm>
#include <cstdlib>

#include "io/Format.h"
#include "seams/Ui.h"

namespace velmora {

CVelmoraDoc::CVelmoraDoc(Ui& ui) : ui_(ui) {}

CVelmoraDoc::~CVelmoraDoc() {
  WaitForWorker(true);
}

void CVelmoraDoc::WaitForWorker(bool askToStop) {
  if (askToStop) {
    worker_.Stop();
  } else {
    worker_.Wait();
  }
}

void CVelmoraDoc::SetMixStale(bool stale) {
  if (stale) {
    changeCount_.fetch_add(1, std::memory_order_acq_rel);
  } else {
    builtCount_.store(changeCount_.load(std::memory_order_relaxed), std::memory_order_release);
  }
}

bool CVelmoraDoc::HasAnyChannel() const {
  return std::any_of(slots_.begin(), slots_.end(),
                     [](const ChannelSlot& s) { return s.HasData(); });
}

int CVelmoraDoc::FirstEmptySlot() const {
  for (int i = 0; i < kChannelCount; ++i) {
    if (!slots_[i].HasData()) return i;
  }
  return -1;
}

bool CVelmoraDoc::IsRateCompatible(int32_t rate) const {
  LoadedRates loaded{};
  for (int i = 0; i < kChannelCount; ++i) {
    if (slots_[i].HasData()) loaded[i] = slots_[i].header.samplesPerSec;
  }
  return IsRateCompatibleWith(rate, loaded);
}

void CVelmoraDoc::UpdateOutputFormat() {
  const MixFormat format = OutputFormatOf(MixChannelsOf(slots_));
  outHeader_.riff.samplesPerSec = static_cast<int32_t>(format.rate);
  outHeader_.riff.bitsPerSample = static_cast<int16_t>(format.bits);
  outHeader_.riff.channels = 2;
}

void CVelmoraDoc::ResetMix() {
  mixBuffer_.Reset();
  blockPeaks_.Reset();
  // The corrections belong to the mix: none may be listed once it is gone.
  std::vector<MixCorrection>().swap(corrections_);
  mixFrames_ = 0;
  mixFormat_ = MixFormat{};
}

bool CVelmoraDoc::OnNewDocument() {
  // The framework's New clears the path name and the modified flag.
  WaitForWorker(true);
  pathName_.clear();
  modified_ = false;
  std::vector<int> emptied;
  for (int i = 0; i < kChannelCount; ++i) {
    if (slots_[i].HasData()) emptied.push_back(i);
    slots_[i].Clear();
  }
  ResetMix();
  outputPath_.clear();
  startMark_ = endMark_ = position_ = 0;
  outHeader_ = OutHeader{};
  SetMixStale(false);
  fadeIn_.fill(FadeSetting{});
  fadeOut_.fill(FadeSetting{});
  SetTitle(msg::kUntitled);
  history_.Clear();
  endMarkRestored_ = false;
  for (const int i : emptied) UpdateAllViews(DocumentNotice::Content(i, ChannelEvent::Released));
  return true;
}

bool CVelmoraDoc::SaveModified() {
  for (int i = 0; i < kChannelCount; ++i) {
    if (!slots_[i].HasData() || !slots_[i].path.empty()) continue;
    const Answer answer = ui_.ShowMessage(Format(msg::kUnsavedChannel, i + 1), MessageIcon::Warning,
                                          MessageButtons::YesNoCancel);
    if (answer == Answer::Cancel) return false;
    if (answer == Answer::Yes && !SaveChannel(i)) return false;
  }
  if (!IsModified()) return true;
  const Answer answer = ui_.ShowMessage(Format(msg::kSaveChanges, title_.c_str()),
                                        MessageIcon::Warning, MessageButtons::YesNoCancel);
  if (answer == Answer::Cancel) return false;
  if (answer == Answer::Yes) {
    // A Save As that did not save (cancelled, refused or failed) keeps the work and the program.
    SaveMixAs();
    return !IsModified();
  }
  return true;
}

void CVelmoraDoc::SetTitle(const std::string& title) {
  title_ = title;
  if (listener_ != nullptr) listener_->OnTitleChanged(title_);
}

void CVelmoraDoc::SetPathName(const std::string& path) {
  pathName_ = path;
  SetTitle(FileNameOf(path));
}

void CVelmoraDoc::UpdateAllViews(const DocumentNotice& notice) {
  if (listener_ != nullptr) listener_->OnUpdateAllViews(notice);
}

std::string UpperExtension3(const std::string& path) {
  // Walk back three UTF-8 characters, so that a name ending in kana is not cut mid-character.
  std::size_t start = path.size();
  for (int chars = 0; chars < 3 && start > 0; ++chars) {
    do {
      --start;
    } while (start > 0 && (static_cast<unsigned char>(path[start]) & 0xC0) == 0x80);
  }
  std::string tail = path.substr(start);
  for (char& c : tail) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return tail;
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace velmora
