#include "recorder/RecoveryFiles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "document/VelmoraDoc.h"
#include "io/LittleEndian.h"
#include "panel/MixerPanel.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

bool Tagged(const uint8_t* at, const char* tag) {
  return std::memcmp(at, tag, 4) == 0;
}

enum class Contents { Frames, NoFrames, NotATake };

// The format and length of the take in `file`.
Contents ReadTake(const LockedFile& file, UnheldTake& take) {
  const int64_t size = file.Size();
  if (size < 0) return Contents::NotATake;
  if (size <= kWavHeaderBytes) return Contents::NoFrames;  // at most the header: nothing to lose
  uint8_t h[kWavHeaderBytes];
  if (file.ReadAt(h, sizeof h, 0) != sizeof h) return Contents::NotATake;
  if (!Tagged(h, "RIFF") || !Tagged(h + 8, "WAVE") || !Tagged(h + 12, "fmt ") ||
      !Tagged(h + 36, "data") || le::U16(h + 20) != 1) {
    return Contents::NotATake;
  }
  take.channels = le::U16(h + 22);
  take.rate = le::U32(h + 24);
  take.bits = le::U16(h + 34);
  if ((take.channels != 1 && take.channels != 2) || (take.bits != 8 && take.bits != 16) ||
      !IsPlayableRate(take.rate)) {
    return Contents::NotATake;
  }
  // The data run to the end of the file: the header's size may lag a second behind.
  const uint64_t frameBytes = uint64_t{take.channels} * take.bits / 8;
  const uint64_t data = static_cast<uint64_t>(size) - kWavHeaderBytes;
  take.frames =
      static_cast<uint32_t>(std::min<uint64_t>(data / frameBytes, UINT32_MAX / frameBytes));
  return take.frames == 0 ? Contents::NoFrames : Contents::Frames;
}

}  // namespace

std::string RecoveryDirectory() {
  std::filesystem::path base;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    base = std::filesystem::u8path(state);
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    base = std::filesystem::u8path(home) / ".local" / "state";
  } else {
    return {};
  }
  return (base / "Velmora" / "recovery").u8string();
}

std::vector<UnheldTake> FindUnheldTakes(const std::string& directory) {
  std::vector<UnheldTake> takes;
  OwnFolder folder;
  if (!folder.Open(directory, false)) return takes;
  std::vector<std::string> names = folder.Names();
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    UnheldTake take;
    if (!ReadTakeFileName(name, take.placement)) continue;
    LockedFile file;
    // Not this program's own file, or a running program records into it.
    if (!file.OpenOwnUnheld(folder, name)) continue;
    take.name = name;
    switch (ReadTake(file, take)) {
      case Contents::Frames:
        takes.push_back(take);
        break;
      case Contents::NoFrames:
        file.Remove();  // else offered at every start, with nothing to load
        break;
      case Contents::NotATake:
        break;
    }
  }
  return takes;
}

RecoveryTakes::RecoveryTakes(CVelmoraDoc& doc, Ui& ui, MixerPanel& panel, std::string directory)
    : doc_(doc), ui_(ui), panel_(panel), directory_(std::move(directory)) {}

RecoveryTakes::~RecoveryTakes() {
  for (Held& held : held_) Remove(held);
}

std::unique_ptr<RecoveryWriter> RecoveryTakes::OpenWriter(uint32_t rate, uint16_t bits,
                                                          uint16_t channels) {
  if (directory_.empty()) return nullptr;
  auto writer = std::make_unique<RecoveryWriter>();
  if (!writer->Start(directory_, rate, bits, channels)) return nullptr;
  return writer;
}

void RecoveryTakes::Adopt(int slot, std::unique_ptr<RecoveryWriter> writer) {
  if (!writer) return;
  Held held;
  held.slot = slot;
  held.writer = std::move(writer);
  held_.push_back(std::move(held));
}

std::string RecoveryTakes::PathOf(int slot) const {
  for (const Held& held : held_) {
    if (held.slot != slot) continue;
    if (held.writer) return held.writer->path();
    return (std::filesystem::u8path(directory_) / std::filesystem::u8path(held.file.name()))
        .u8string();
  }
  return {};
}

void RecoveryTakes::Remove(Held& held) {
  if (held.writer) {
    held.writer->Remove();
  } else {
    held.file.Remove();
  }
}

void RecoveryTakes::OnUpdate(const DocumentNotice& notice) {
  // A take's file goes once the take has a file of its own, or is gone from its channel
  // (released, cleared by New, replaced); a take stored or recovered is the file's own.
  const bool saved = notice.what == DocumentNotice::What::ChannelSaved;
  const bool gone = notice.what == DocumentNotice::What::ChannelContent &&
                    notice.why != ChannelEvent::Recorded && notice.why != ChannelEvent::Recovered;
  if (!saved && !gone) return;
  for (auto it = held_.begin(); it != held_.end();) {
    if (it->slot == notice.channel) {
      Remove(*it);
      it = held_.erase(it);
    } else {
      ++it;
    }
  }
}

void RecoveryTakes::OfferLeftTakes() {
  if (directory_.empty()) return;
  const std::vector<UnheldTake> takes = FindUnheldTakes(directory_);
  if (takes.empty()) return;
  if (ui_.ShowMessage(msg::kRecoveryOffer, MessageIcon::Warning, MessageButtons::YesNo) !=
      Answer::Yes) {
    return;  // the files stay for a later start
  }
  OwnFolder folder;
  if (!folder.Open(directory_, false)) return;
  // Takes whose own channel is free go there first, so that a take placed nowhere (or where
  // another now is) does not take a channel a later take was recorded into.
  std::vector<bool> tried(takes.size(), false);
  std::vector<int> loaded;
  for (const bool ownChannels : {true, false}) {
    for (size_t i = 0; i < takes.size(); ++i) {
      const int channel = takes[i].placement.channel;
      const bool free = channel >= 0 && channel < kChannelCount && !doc_.slot(channel).HasData();
      if (tried[i] || (ownChannels && !free)) continue;
      const int index = free ? channel : doc_.FirstEmptySlot();
      if (index < 0) break;  // the rest stay on the disk
      tried[i] = true;
      if (LoadTake(folder, takes[i], index)) loaded.push_back(index);
    }
  }
  if (loaded.empty()) return;
  panel_.MarkMixStale(true);
  for (const int index : loaded) {
    doc_.UpdateAllViews(DocumentNotice::Content(index, ChannelEvent::Recovered));
  }
}

bool RecoveryTakes::LoadTake(const OwnFolder& folder, const UnheldTake& found, int index) {
  // Looked at again, locked: another start may have taken it since it was found.
  LockedFile file;
  UnheldTake take = found;
  if (!file.OpenOwnUnheld(folder, take.name) || ReadTake(file, take) != Contents::Frames ||
      !doc_.IsRateCompatible(static_cast<int32_t>(take.rate))) {
    return false;
  }
  const uint64_t frameBytes = uint64_t{take.channels} * take.bits / 8;
  const uint32_t cut = std::min(take.placement.cutFrames, take.frames);
  const uint32_t frames = take.frames - cut;
  if (frames == 0) return false;
  const uint64_t bytes = uint64_t{frames} * frameBytes;
  ByteBuffer data;
  if (!data.Allocate(bytes)) {
    ui_.ShowError(msg::kOutOfMemory);
    return false;
  }
  if (file.ReadAt(data.data(), bytes, kWavHeaderBytes + uint64_t{cut} * frameBytes) != bytes) {
    return false;
  }
  // The file is made whole: its header now states what it holds.
  const std::vector<uint8_t> header =
      MakeWavHeader(take.rate, take.bits, take.channels,
                    static_cast<uint32_t>(uint64_t{take.frames} * frameBytes));
  file.WriteAt(header.data(), header.size(), 0);
  file.SyncData();

  ChannelSlot content;
  content.HoldRecording(std::move(data), frames, take.channels, static_cast<int>(take.rate),
                        take.bits);
  content.offset = take.placement.offsetMs;
  doc_.Apply(ChannelContentChange{index, std::move(content), ChannelEvent::Recovered});

  Held held;
  held.slot = index;
  held.file = std::move(file);
  held_.push_back(std::move(held));
  return true;
}

}  // namespace velmora
