#pragma once
// A Form kept as a table of control states, addressed by control id. Positions are clamped to a
// control's range once one is set, as the native track bars, spins and progress bars do.

#include <map>
#include <string>

#include "seams/Form.h"

namespace velmora::test {

struct ControlState {
  bool hasRange = false;
  int min = 0;
  int max = 0;
  int position = 0;
  int tickFrequency = 0;
  std::string text;
  bool enabled = true;
  bool checked = false;
  int focusRequests = 0;  // SelectAllAndFocus calls
};

class FakeForm : public Form {
 public:
  void SetRange(int id, int min, int max) override;
  void SetPosition(int id, int position) override;
  int GetPosition(int id) const override { return At(id).position; }
  void SetTickFrequency(int id, int frequency) override { controls[id].tickFrequency = frequency; }
  void SetText(int id, const std::string& text) override { controls[id].text = text; }
  std::string GetText(int id) const override { return At(id).text; }
  void SelectAllAndFocus(int id) override { ++controls[id].focusRequests; }
  void Enable(int id, bool enabled) override { controls[id].enabled = enabled; }
  void SetCheck(int id, bool checked) override { controls[id].checked = checked; }

  // The state of a control (a default one when nothing was set yet).
  const ControlState& At(int id) const;
  // What a user does to a control before its notification arrives.
  void Type(int id, const std::string& text) { controls[id].text = text; }
  void Drag(int id, int position) { SetPosition(id, position); }

  std::map<int, ControlState> controls;
};

}  // namespace velmora::test
