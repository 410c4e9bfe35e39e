#include "recorder/RecoveryFiles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "document/VelmoraDoc.h"
#include "io/LittleEndian.h"
#include "panel/MixerPanel.h"
#include "recorder/RecoveryWriter.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

bool Tagged(const uint8_t* at, const char* tag) {
  return std::memcmp(at, tag, 4) == 0;
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
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::u8path(directory), error)) {
    if (entry.path().extension() == ".wav") names.push_back(entry.path().u8string());
  }
  std::sort(names.begin(), names.end());
  std::vector<UnheldTake> takes;
  for (const std::string& name : names) {
    UnheldTake take;
    take.path = name;
    if (!take.file.OpenUnheld(name)) continue;  // a running program records into it
    uint8_t h[kWavHeaderBytes];
    if (take.file.ReadAt(h, sizeof h, 0) != sizeof h) continue;
    if (!Tagged(h, "RIFF") || !Tagged(h + 8, "WAVE") || !Tagged(h + 12, "fmt ") ||
        !Tagged(h + 36, "data") || le::U16(h + 20) != 1) {
      continue;
    }
    take.channels = le::U16(h + 22);
    take.rate = le::U32(h + 24);
    take.bits = le::U16(h + 34);
    if ((take.channels != 1 && take.channels != 2) || (take.bits != 8 && take.bits != 16) ||
        !IsPlayableRate(take.rate)) {
      continue;
    }
    // The data run to the end of the file: the header's size may lag a second behind.
    const int64_t size = take.file.Size();
    const uint64_t frameBytes = uint64_t{take.channels} * take.bits / 8;
    const uint64_t data =
        size > kWavHeaderBytes ? static_cast<uint64_t>(size) - kWavHeaderBytes : 0;
    take.frames =
        static_cast<uint32_t>(std::min<uint64_t>(data / frameBytes, UINT32_MAX / frameBytes));
    takes.push_back(std::move(take));
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
  held.path = writer->path();
  held.writer = std::move(writer);
  held_.push_back(std::move(held));
}

std::string RecoveryTakes::PathOf(int slot) const {
  for (const Held& held : held_) {
    if (held.slot == slot) return held.path;
  }
  return {};
}

void RecoveryTakes::Remove(Held& held) {
  if (held.writer) {
    held.writer->Remove();
  } else {
    held.file.Close();
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::u8path(held.path), ignored);
  }
}

void RecoveryTakes::OnUpdate(int) {
  for (auto it = held_.begin(); it != held_.end();) {
    const ChannelSlot& slot = doc_.slots[it->slot];
    // Saved alone (it has a file now), released, or cleared by New.
    if (!slot.HasData() || !slot.path.empty()) {
      Remove(*it);
      it = held_.erase(it);
    } else {
      ++it;
    }
  }
}

void RecoveryTakes::OfferLeftTakes() {
  if (directory_.empty()) return;
  std::vector<UnheldTake> takes = FindUnheldTakes(directory_);
  if (takes.empty()) return;
  if (ui_.ShowMessage(msg::kRecoveryOffer, MessageIcon::Warning, MessageButtons::YesNo) !=
      Answer::Yes) {
    return;  // the files stay for a later start
  }
  bool loaded = false;
  for (UnheldTake& take : takes) {
    if (doc_.FirstEmptySlot() < 0) break;  // the rest stay on the disk
    loaded = LoadTake(take) || loaded;
  }
  if (loaded) {
    panel_.MarkMixStale(true);
    doc_.UpdateAllViews();
  }
}

bool RecoveryTakes::LoadTake(UnheldTake& take) {
  if (take.frames == 0 || !doc_.IsRateCompatible(static_cast<int32_t>(take.rate))) return false;
  const uint64_t bytes = uint64_t{take.frames} * take.channels * take.bits / 8;
  ByteBuffer data;
  if (!data.Allocate(bytes)) {
    ui_.ShowError(msg::kOutOfMemory);
    return false;
  }
  if (take.file.ReadAt(data.data(), bytes, kWavHeaderBytes) != bytes) return false;
  // The file is made whole: its header now states what it holds.
  const std::vector<uint8_t> header =
      MakeWavHeader(take.rate, take.bits, take.channels, static_cast<uint32_t>(bytes));
  take.file.WriteAt(header.data(), header.size(), 0);
  take.file.SyncData();

  const int index = doc_.FirstEmptySlot();
  ChannelSlot& slot = doc_.slots[index];
  slot.Clear();
  slot.HoldRecording(std::move(data), take.frames, take.channels, static_cast<int>(take.rate),
                     take.bits);
  doc_.UpdateOutputFormat();

  Held held;
  held.slot = index;
  held.path = take.path;
  held.file = std::move(take.file);
  held_.push_back(std::move(held));
  return true;
}

}  // namespace velmora
