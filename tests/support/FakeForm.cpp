#include "support/FakeForm.h"

#include <algorithm>

namespace velmora::test {

void FakeForm::SetRange(int id, int min, int max) {
  ControlState& c = controls[id];
  c.hasRange = true;
  c.min = min;
  c.max = max;
  c.position = std::clamp(c.position, min, std::max(min, max));
}

void FakeForm::SetPosition(int id, int position) {
  ControlState& c = controls[id];
  c.position = c.hasRange ? std::clamp(position, c.min, std::max(c.min, c.max)) : position;
}

const ControlState& FakeForm::At(int id) const {
  static const ControlState kUntouched;
  const auto found = controls.find(id);
  return found != controls.end() ? found->second : kUntouched;
}

}  // namespace velmora::test
