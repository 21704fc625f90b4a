#pragma once
// What the reaction sequence needs from the GUI thread. Every call waits until
// the GUI thread has done it, or returns at once once the program is closing,
// so the frame thread never blocks the end of the program.
#include <string>

namespace qmd {

class ReactionUi {
public:
    virtual ~ReactionUi() = default;
    virtual bool IsInformationShowing() = 0;
    // Puts the text into the information window and shows it modally; returns
    // when the user has closed it (or the program is closing).
    virtual void ShowInformationModal(const std::string& text) = 0;
    // Starts the main window's normal close. Returns once the close has been
    // started: the close stops capture, which must not wait for this call.
    virtual void CloseMainWindow() = 0;
    // True once the program is closing; the alarm stops then, so the end of
    // the program does not wait for it.
    virtual bool Closing() const { return false; }
};

}  // namespace qmd
