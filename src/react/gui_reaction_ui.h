#pragma once
// The bridge from the frame thread to the GUI thread. Each call is posted to
// the GUI thread as a queued call and waited for; Close() (the main window's
// shutdown) releases every waiter at once, ends a showing information window,
// and makes every later call return at once. Destroy it on the GUI thread
// only after the frame thread has stopped calling it.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include <QPointer>

#include "react/core/reaction_ui.h"

class QObject;
class QWidget;

namespace qmd {

class TfmInformacja;

class GuiReactionUi : public ReactionUi {
public:
    // Create on the GUI thread.
    GuiReactionUi(QWidget* mainWindow, TfmInformacja* information);
    ~GuiReactionUi() override;
    GuiReactionUi(const GuiReactionUi&) = delete;
    GuiReactionUi& operator=(const GuiReactionUi&) = delete;

    bool IsInformationShowing() override;
    void ShowInformationModal(const std::string& text) override;
    void CloseMainWindow() override;

    bool Closing() const override;
    // GUI thread only.
    void Close();

private:
    struct Shared;
    // Runs `work` on the GUI thread and waits for it; false when the bridge
    // is closing and the work did not (or will not) run. `work` gets a
    // function it may call to release the waiter early.
    bool RunOnGui(const std::function<void(const std::function<void()>& release)>& work);

    std::shared_ptr<Shared> shared_;
    QObject* context_;
    QPointer<QWidget> mainWindow_;
    QPointer<TfmInformacja> information_;
};

}  // namespace qmd
