#include "shell/program_windows.h"

#include "capture/grabber/sample_grabber.h"
#include "capture/format_window/format_window.h"
#include "gui/error_report.h"
#include "react/autostart_window.h"
#include "react/core/motion_reactions.h"
#include "react/gui_reaction_ui.h"
#include "react/informacja_window.h"
#include "react/tryb_pracy_window.h"
#include "shell/shell_log.h"

namespace qmd {

ProgramWindows::ProgramWindows(TfmMainForm::Options options,
                               const std::function<void(ReactionDependencies&)>& customise)
{
    try {
        Build(std::move(options), customise);
    } catch (...) {
        // The windows made so far go in the usual order, and no window
        // reference is left pointing at one of them.
        TearDown();
        throw;
    }
}

void ProgramWindows::Build(TfmMainForm::Options options, const std::function<void(ReactionDependencies&)>& customise)
{
    mainForm_ = std::make_unique<TfmMainForm>(std::move(options));
    TfmMainForm* main = mainForm_.get();
    autostart_ = std::make_unique<TfmAutostart>(main->Uruchomprogramy1);
    fmAutostart = autostart_.get();
    informacja_ = std::make_unique<TfmInformacja>();
    fmInformacja = informacja_.get();
    trybPracy_ = std::make_unique<TfmTrybPracy>(main->Przecztrybpracykomputera1);
    fmTrybPracy = trybPracy_.get();
    zmienRozdzielczosc_ = std::make_unique<TfmZmienRozdzielczosc>();
    zmienRozdzielczosc_->SetFilter(main->Filter);
    zmienRozdzielczosc_->SetErrorReport([main](const std::exception& error) { ReportApplicationError(main, error); });
    fmZmienRozdzielczosc = zmienRozdzielczosc_.get();

    reactionUi_ = std::make_unique<GuiReactionUi>(main, fmInformacja);
    ReactionDependencies dependencies;
    dependencies.Switches = &main->Switches;
    dependencies.Programs = &fmAutostart->Programs();
    dependencies.PowerIndex = &fmTrybPracy->LiveIndex();
    dependencies.Ui = reactionUi_.get();
    dependencies.Clips = main->Clips();
    if (customise) customise(dependencies);
    reactions_ = std::make_unique<MotionReactions>(std::move(dependencies));
    main->SetReactions(reactions_.get());
}

void ProgramWindows::Shutdown()
{
    if (shutDown_) return;
    shutDown_ = true;
    if (reactionUi_) reactionUi_->Close();
    if (mainForm_) {
        mainForm_->SampleGrabber->Shutdown();
        mainForm_->SetReactions(nullptr);
    }
}

ProgramWindows::~ProgramWindows() { TearDown(); }

void ProgramWindows::TearDown() noexcept
{
    Shutdown();
    reactions_.reset();
    reactionUi_.reset();
    fmZmienRozdzielczosc = nullptr;
    zmienRozdzielczosc_.reset();
    fmTrybPracy = nullptr;
    trybPracy_.reset();
    fmInformacja = nullptr;
    informacja_.reset();
    fmAutostart = nullptr;
    autostart_.reset();
    mainForm_.reset();
}

std::unique_ptr<ProgramWindows> BuildProgramWindows(TfmMainForm::Options options,
                                                    const std::function<void(ReactionDependencies&)>& customise)
{
    try {
        return std::make_unique<ProgramWindows>(std::move(options), customise);
    } catch (const std::exception& error) {
        qCWarning(lcShell, "the windows could not be made: %s", error.what());
        ReportApplicationError(nullptr, error);
    } catch (...) {
        qCWarning(lcShell, "the windows could not be made");
        ReportApplicationError(nullptr, QStringLiteral("Unknown error"));
    }
    return nullptr;
}

}  // namespace qmd
