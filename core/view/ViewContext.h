#pragma once
// What every part of the view works with: the document, the user, the form's controls, the view's
// window timers and its shared fields. One value handed to each part; all must outlive the parts.

namespace velmora {

class CVelmoraDoc;
class Form;
class Timers;
class Ui;
struct ViewSettings;

struct ViewContext {
  CVelmoraDoc& doc;
  Ui& ui;
  Form& form;
  Timers& timers;
  ViewSettings& settings;
};

}  // namespace velmora
