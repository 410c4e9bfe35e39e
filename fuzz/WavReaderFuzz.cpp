// Feeds arbitrary bytes to the document's WAV loader, through a real file as the program reads.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "document/VelmoraDoc.h"
#include "seams/Ui.h"

namespace {

class SilentUi : public velmora::Ui {
 public:
  velmora::Answer ShowMessage(const std::string&, velmora::MessageIcon,
                              velmora::MessageButtons) override {
    return velmora::Answer::No;
  }
  std::optional<std::string> ChooseOpenFile(const velmora::FileDialogRequest&) override {
    return std::nullopt;
  }
  std::optional<std::string> ChooseSaveFile(const velmora::FileDialogRequest&) override {
    return std::nullopt;
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void Beep() override {}
  void ReportFileError(const std::string&) override {}
};

std::string ScratchPath() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/velmora-fuzz-" +
         std::to_string(::getpid()) + ".wav";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScratchPath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  SilentUi ui;
  velmora::CVelmoraDoc doc(ui);
  // A second load exercises the rate rule against the first.
  doc.LoadIntoSlot(0, path);
  doc.LoadIntoSlot(1, path);
  return 0;
}
