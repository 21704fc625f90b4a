#pragma once
// The program's five windows and what joins them: created at start-up in
// order (main window, program list, information, power action, format
// selection), reachable through fmMainForm, fmAutostart, fmInformacja,
// fmTrybPracy and fmZmienRozdzielczosc, and taken down at the end in the one
// order that cannot hang: the GUI bridge of the reaction sequence is closed
// (releasing a frame cycle that waits for the GUI thread), the grabber's frame
// thread is joined, and only then are the windows destroyed.
#include <QString>

#include <functional>
#include <memory>

#include "shell/main_form.h"

namespace qmd {

class GuiReactionUi;
class MotionReactions;
class TfmAutostart;
class TfmInformacja;
class TfmTrybPracy;
class TfmZmienRozdzielczosc;
struct ReactionDependencies;

class ProgramWindows {
public:
    // `customise` may replace services of the reaction sequence (tests give
    // fakes for sound, power and program starts); it runs before the
    // sequence is made.
    explicit ProgramWindows(TfmMainForm::Options options,
                            const std::function<void(ReactionDependencies&)>& customise = {});
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    TfmMainForm* MainForm() const { return mainForm_.get(); }

    // Releases every wait of the reaction sequence and stops frame delivery.
    // Idempotent; the destructor calls it.
    void Shutdown();

private:
    void Build(TfmMainForm::Options options, const std::function<void(ReactionDependencies&)>& customise);
    void TearDown() noexcept;

    std::unique_ptr<TfmMainForm> mainForm_;
    std::unique_ptr<TfmAutostart> autostart_;
    std::unique_ptr<TfmInformacja> informacja_;
    std::unique_ptr<TfmTrybPracy> trybPracy_;
    std::unique_ptr<TfmZmienRozdzielczosc> zmienRozdzielczosc_;
    std::unique_ptr<GuiReactionUi> reactionUi_;
    std::unique_ptr<MotionReactions> reactions_;
    bool shutDown_ = false;
};

// Builds the windows. A failure while they are built is reported on standard
// error and in the application's error report, and gives null: the program
// then ends with status 1 instead of terminating half-built.
std::unique_ptr<ProgramWindows> BuildProgramWindows(TfmMainForm::Options options,
                                                    const std::function<void(ReactionDependencies&)>& customise = {});

}  // namespace qmd
