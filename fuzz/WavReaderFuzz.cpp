// Runs arbitrary bytes through the program's whole path for a WAV file: loaded from a file into
// a channel beside a known one, mixed with settings taken from the input's last bytes, edited and
// saved as the document saves. Files go to a scratch folder of this process (under TMPDIR; a
// memory file system keeps the saves' flushes cheap) and are removed after every input.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "document/VelmoraDoc.h"
#include "document/WavWriter.h"
#include "io/AvailableMemory.h"
#include "seams/Ui.h"

namespace {

namespace fs = std::filesystem;
using velmora::Answer;

// Answers every question Yes and every save chooser with the scratch output.
class ScratchUi final : public velmora::Ui {
 public:
  explicit ScratchUi(std::string output) : output_(std::move(output)) {}
  Answer ShowMessage(const std::string&, velmora::MessageIcon, velmora::MessageButtons) override {
    return Answer::Yes;
  }
  std::optional<std::string> ChooseOpenFile(const velmora::FileDialogRequest&) override {
    return std::nullopt;
  }
  std::optional<std::string> ChooseSaveFile(const velmora::FileDialogRequest&) override {
    return output_;
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void Beep() override {}
  void ReportFileError(const std::string&) override {}

 private:
  std::string output_;
};

// Enough for any mix the settings below can ask for; keeps each input fast and the fuzzer's
// memory small, and puts the refusal of larger mixes on the path too.
std::optional<uint64_t> ScratchMemory() {
  return uint64_t{64} << 20;
}

// This process's own folder, removed when the process ends.
class ScratchFolder {
 public:
  ScratchFolder()
      : path_(fs::temp_directory_path() / ("velmora-fuzz-" + std::to_string(::getpid()))) {
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  fs::path operator/(const char* name) const { return path_ / name; }

 private:
  fs::path path_;
};

const ScratchFolder& Scratch() {
  static const ScratchFolder folder;
  return folder;
}

void WriteFile(const fs::path& path, const uint8_t* data, std::size_t size) {
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    if (size != 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
}

// A short stereo 16-bit channel at one of the program's usual rates.
std::vector<uint8_t> KnownChannel(int32_t rate) {
  velmora::RiffHeader riff;
  velmora::ChunkHeader data;
  velmora::FillCanonical(riff, data, 2, rate, 16, 300);
  std::vector<uint8_t> bytes(velmora::OutHeader::kBytes + data.size);
  riff.Encode(bytes.data());
  data.Encode(bytes.data() + velmora::RiffHeader::kBytes);
  for (std::size_t i = velmora::OutHeader::kBytes; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(i * 37);
  }
  return bytes;
}

// The input's last eight bytes choose the settings, so that a WAV file is a seed as it stands.
struct Settings {
  explicit Settings(const uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < 8 && i < size; ++i) b[i] = data[size - 1 - i];
  }
  uint8_t b[8] = {};
};

void Mix(velmora::CVelmoraDoc& doc, const Settings& s) {
  for (int i = 0; i < 2; ++i) {
    doc.SetLevel(i, s.b[0 + i] % 201);
    doc.SetBalance(i, s.b[2 + i] % 21);
    doc.SetOffset(i, static_cast<int8_t>(s.b[4 + i]) * 4);  // about ±0.5 s
    doc.SetSelected(i, ((s.b[6] >> i) & 1) == 0);
  }
  const auto curve = static_cast<velmora::FadeCurve>(s.b[7] % 3);
  doc.SetFadeIn(1, {curve, s.b[0] * 4});
  doc.SetFadeOut(velmora::kWholeMix, {curve, s.b[1] * 4});
  doc.SetMonoPlayback(((s.b[6] >> 2) & 1) != 0);
  doc.SetPosition(s.b[5] * 97u);
  const uint32_t blockFrames = (s.b[6] >> 3) & 1 ? 1u + s.b[7] : 4096u;
  doc.BuildMix(blockFrames, false);
}

// Every save writes the scratch output; the user's answers are all Yes.
void SaveAndEdit(velmora::CVelmoraDoc& doc, const Settings& s) {
  if (doc.HasMix()) {
    doc.SetStartMark(s.b[2] * 131u);
    doc.SetEndMark(s.b[3] * 89u);
    doc.SaveBetweenMarks();
  }
  doc.SaveMixAs();
  doc.SaveChannel(1);
  if ((s.b[6] >> 4) & 1) doc.ConvertToMono(1);
  if ((s.b[6] >> 5) & 1) doc.TrimToMarks(1);
  doc.SetMixStale(true);
  doc.SaveMix();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velmora::SetMemoryProbeForTesting(ScratchMemory);
  const Settings settings(data, size);
  const fs::path input = Scratch() / "input.wav";
  const fs::path known = Scratch() / "known.wav";
  const fs::path output = Scratch() / "output.wav";
  constexpr int32_t kKnownRates[] = {8000, 11025, 22050, 44100, 48000, 96000};
  const std::vector<uint8_t> knownBytes = KnownChannel(kKnownRates[settings.b[7] % 6]);
  WriteFile(known, knownBytes.data(), knownBytes.size());
  WriteFile(input, data, size);
  {
    ScratchUi ui(output.string());
    velmora::CVelmoraDoc doc(ui);
    doc.LoadIntoSlot(0, known.string());
    if (doc.LoadIntoSlot(1, input.string())) {
      Mix(doc, settings);
      SaveAndEdit(doc, settings);
    }
  }
  std::error_code ignored;
  fs::remove(input, ignored);
  fs::remove(known, ignored);
  fs::remove(output, ignored);
  return 0;
}
