#pragma once
// The recovery files of the document's takes: where they live, which of them belong to no
// running program (left by a crash) and the offer to load those at start-up, and the removal of
// a take's file once the take is saved, released or its document closed or renewed.
//
// User-interface thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/LockedFile.h"
#include "recorder/RecoveryWriter.h"
#include "seams/CommandTarget.h"

namespace velmora {

class CVelmoraDoc;
class MixerPanel;
class Ui;

namespace msg {
inline constexpr const char* kRecoveryOffer = "前回の録音データが残っています。読み込みますか？";
}  // namespace msg

// $XDG_STATE_HOME/Velmora/recovery, or ~/.local/state/Velmora/recovery when that is not set
// (UTF-8; empty when neither is known).
std::string RecoveryDirectory();

// A recovery file no running program holds, as it was found.
struct UnheldTake {
  std::string name;         // in the recovery folder
  TakePlacement placement;  // where its take belongs (channel -1: the file does not say)
  uint32_t rate = 0;        // the format its header states
  uint16_t bits = 0;
  uint16_t channels = 0;
  uint32_t frames = 0;  // whole frames the file holds after its header (its size decides)
};

// The takes left in `directory` by programs no longer running, oldest name first. Only what this
// program made counts: files named as it names them, regular (not links), this user's and known by
// no other name, in a folder that is this user's own and not a link. They are looked at one at a
// time and none stays open. Such a file holding no frames (its take never began) is removed on
// the way; one whose header is not a take's is left alone.
std::vector<UnheldTake> FindUnheldTakes(const std::string& directory);

class RecoveryTakes : public ViewUpdateTarget {
 public:
  // `doc`, `ui` and `panel` must outlive this. `directory` empty = no recovery files.
  RecoveryTakes(CVelmoraDoc& doc, Ui& ui, MixerPanel& panel, std::string directory);
  // The document goes with the program: the files of its takes go too (the save question at
  // close has had its answer).
  ~RecoveryTakes() override;
  RecoveryTakes(const RecoveryTakes&) = delete;
  RecoveryTakes& operator=(const RecoveryTakes&) = delete;

  // A writer for a new take's file, started; null when the file cannot be made.
  std::unique_ptr<RecoveryWriter> OpenWriter(uint32_t rate, uint16_t bits, uint16_t channels);
  // The take now in `slot` has this (finished) file.
  void Adopt(int slot, std::unique_ptr<RecoveryWriter> writer);
  // Files left by a program that is no longer running: asks once, and Yes loads them as recorded
  // takes (no path, so closing asks to save them), each into the channel it was recorded into
  // when that is free, else into the first free one, at its offset. Nothing is deleted but files
  // that hold no frames.
  void OfferLeftTakes();
  // Removes the files of takes that were saved, released or cleared.
  void OnUpdate(const DocumentNotice& notice) override;

  // The recovery files this document holds, by slot ("" = none).
  std::string PathOf(int slot) const;

 private:
  struct Held {
    int slot = 0;
    std::unique_ptr<RecoveryWriter> writer;  // a take recorded now
    LockedFile file;                         // a take loaded from a left file
  };
  void Remove(Held& held);
  bool LoadTake(const OwnFolder& folder, const UnheldTake& take, int index);

  CVelmoraDoc& doc_;
  Ui& ui_;
  MixerPanel& panel_;
  std::string directory_;
  std::vector<Held> held_;
};

}  // namespace velmora
