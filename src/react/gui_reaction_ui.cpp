#include "react/gui_reaction_ui.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPlainTextEdit>
#include <QThread>
#include <QWidget>

#include "react/informacja_window.h"

namespace qmd {

struct GuiReactionUi::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool closing = false;
};

namespace {
// One call's completion, shared by the waiter and the queued work.
struct Ticket {
    bool done = false;
};
}  // namespace

GuiReactionUi::GuiReactionUi(QWidget* mainWindow, TfmInformacja* information)
    : shared_(std::make_shared<Shared>()), context_(new QObject), mainWindow_(mainWindow), information_(information)
{
}

GuiReactionUi::~GuiReactionUi()
{
    Close();
    // Queued calls still pending for the context are dropped with it.
    delete context_;
}

bool GuiReactionUi::Closing() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->closing;
}

void GuiReactionUi::Close()
{
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->closing) return;
        shared_->closing = true;
    }
    shared_->changed.notify_all();
    // A showing information window would keep its own loop running.
    if (information_ && information_->isVisible()) information_->reject();
}

bool GuiReactionUi::RunOnGui(const std::function<void(const std::function<void()>& release)>& work)
{
    const std::shared_ptr<Shared> shared = shared_;
    if (Closing()) return false;

    auto ticket = std::make_shared<Ticket>();
    auto release = [shared, ticket] {
        {
            std::lock_guard lock(shared->mutex);
            ticket->done = true;
        }
        shared->changed.notify_all();
    };

    if (QThread::currentThread() == context_->thread()) {
        work(release);
        return true;
    }

    const bool posted = QMetaObject::invokeMethod(
        context_,
        [shared, work, release] {
            {
                std::lock_guard lock(shared->mutex);
                if (shared->closing) return release();
            }
            work(release);
            release();
        },
        Qt::QueuedConnection);
    if (!posted) return false;

    std::unique_lock lock(shared->mutex);
    shared->changed.wait(lock, [&] { return ticket->done || shared->closing; });
    return ticket->done;
}

// The work runs on the GUI thread, the only thread that touches the windows
// and the pointers to them; the wait's mutex orders its result for the caller.
bool GuiReactionUi::IsInformationShowing()
{
    auto showing = std::make_shared<bool>(false);
    RunOnGui([this, showing](const auto&) { *showing = information_ && information_->isVisible(); });
    std::lock_guard lock(shared_->mutex);
    return *showing;
}

void GuiReactionUi::ShowInformationModal(const std::string& text)
{
    const QString qtext = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    RunOnGui([this, qtext](const auto&) {
        if (!information_) return;
        information_->Info->setPlainText(qtext);
        information_->Info->setFocus();
        information_->exec();
    });
}

void GuiReactionUi::CloseMainWindow()
{
    // The waiter is released before the close starts: closing stops capture,
    // and stopping must not wait for the frame that asked for the close.
    RunOnGui([this](const std::function<void()>& release) {
        release();
        if (mainWindow_) mainWindow_->close();
    });
}

}  // namespace qmd
