#pragma once
// What core asks of the window layer: message boxes, file choosers and the wait cursor.
// All calls come from the user-interface thread. Texts are UTF-8.

#include <optional>
#include <string>

namespace velmora {

enum class MessageIcon { Stop, Warning, Exclamation, Information };
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };

struct FileDialogRequest {
  std::string title;              // empty = "開く" to open, "名前を付けて保存" to save
  std::string filter;             // "label|patterns||" as the program states it
  std::string defaultExtension;   // without the dot; empty = none
  bool mustExist = false;         // open: the chosen file must exist
  bool confirmOverwrite = false;  // save: ask before replacing an existing file
};

class Ui {
 public:
  virtual ~Ui() = default;

  // A modal box kept on top, captioned with the application title.
  virtual Answer ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) = 0;
  // Full UTF-8 path of the chosen file, or nothing when the user cancelled.
  virtual std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) = 0;
  // Nested calls are counted; the cursor returns when every Begin has its End.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  virtual void Beep() = 0;
  // The window layer's own generic "file could not be saved" report, shown after the program's
  // message when Save or Save As failed.
  virtual void ReportFileError(const std::string& path) = 0;
  // The system's reason why `path` could not be used ("No such file or directory"), given right
  // after the program's own message about it. The window keeps to the program's messages and
  // shows nothing more; a terminal prints it on a line of its own.
  virtual void ShowSystemReason(const std::string& path, const std::string& reason) {
    (void)path;
    (void)reason;
  }

  void ShowError(const std::string& text) {
    ShowMessage(text, MessageIcon::Stop, MessageButtons::Ok);
  }
};

// Shows the wait cursor for the lifetime of the object, so that every exit removes it.
class WaitCursor {
 public:
  explicit WaitCursor(Ui& ui) : ui_(ui) { ui_.BeginWaitCursor(); }
  ~WaitCursor() { ui_.EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  Ui& ui_;
};

}  // namespace velmora
