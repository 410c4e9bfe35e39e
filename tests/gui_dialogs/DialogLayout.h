#pragma once
// Checks shared by the dialog window tests: the layout of a window's controls and its Japanese
// face, and running a modal dialog while the test looks at it.

#include <functional>

class wxDialog;
class wxWindow;

namespace velmora::test {

// Every control lies inside its parent, overlaps no sibling, and has at least the room its text
// needs; a book's pages are checked one by one (they share one place), the shown one only.
void ExpectNothingOverlapsOrIsClipped(wxWindow& window);

// The window's text is set in one of the installed Japanese faces of the program.
void ExpectJapaneseFace(wxWindow& window);

// Runs `open`, which shows a modal dialog; `whileShown` gets the dialog once it is up and must
// end it. Fails the test when no modal dialog came up.
void WithModalDialog(const std::function<void()>& open,
                     const std::function<void(wxDialog&)>& whileShown);

// A click on a button, as the user makes it.
void Click(wxWindow& button);

}  // namespace velmora::test
