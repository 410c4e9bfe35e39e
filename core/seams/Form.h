#pragma once
// What core asks of the main form view: its controls, addressed by their control ids.
// Implemented by the wx form; tests keep a table of control states. UI thread only.

#include <string>

namespace velmora {

class Form {
 public:
  virtual ~Form() = default;

  // Sliders (track bars), spins (up-down) and progress bars.
  virtual void SetRange(int id, int min, int max) = 0;
  virtual void SetPosition(int id, int position) = 0;
  virtual int GetPosition(int id) const = 0;
  virtual void SetTickFrequency(int id, int frequency) = 0;

  // Edits, buttons and static texts: the whole text is replaced.
  virtual void SetText(int id, const std::string& text) = 0;
  virtual std::string GetText(int id) const = 0;
  // Selects the whole text of an edit and gives it the focus.
  virtual void SelectAllAndFocus(int id) = 0;

  virtual void Enable(int id, bool enabled) = 0;
  virtual void SetCheck(int id, bool checked) = 0;
};

}  // namespace velmora
