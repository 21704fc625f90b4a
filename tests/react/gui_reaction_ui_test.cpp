// The bridge between the frame thread and the GUI thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <thread>

#include "react/gui_reaction_ui.h"
#include "react/informacja_window.h"

namespace qmd {
namespace {

// A frame thread doing one call; the GUI thread keeps running its events.
class FrameThread {
public:
    explicit FrameThread(std::function<void()> work)
        : thread_([this, work = std::move(work)] {
              work();
              done_ = true;
          })
    {
    }
    ~FrameThread()
    {
        if (thread_.joinable()) thread_.join();
    }
    bool Done() const { return done_; }

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Runs `action` once `condition` holds, checked by a timer; the modal window
// runs its own loop, so the checks have to ride on that loop's timers.
void WhenTrue(std::function<bool()> condition, std::function<void()> action)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, condition, action] {
        if (!condition()) return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}

TEST(GuiReactionUi, ShowsTheInformationModallyAndWaitsForItsClose)
{
    QWidget mainWindow;
    TfmInformacja information(&mainWindow);
    GuiReactionUi ui(&mainWindow, &information);

    std::atomic<bool> showingSeen{false};
    bool modal = false;
    bool frameWaited = false;
    QString shownText;
    std::unique_ptr<FrameThread> probe;
    WhenTrue([&] { return information.isVisible(); },
             [&] {
                 modal = information.isModal();
                 shownText = information.Info->toPlainText();
                 // While it shows, another question from the frame side sees it showing.
                 probe = std::make_unique<FrameThread>([&] { showingSeen = ui.IsInformationShowing(); });
                 WhenTrue([&] { return probe->Done(); },
                          [&] {
                              frameWaited = true;
                              information.SpeedButton1->click();
                          });
             });
    FrameThread frame([&] { ui.ShowInformationModal("Ruch w pokoju\nzażółć gęślą jaźń"); });
    QTRY_VERIFY_WITH_TIMEOUT(frame.Done(), 20000);
    EXPECT_TRUE(modal);
    EXPECT_EQ(shownText, QStringLiteral("Ruch w pokoju\nzażółć gęślą jaźń"));
    EXPECT_TRUE(showingSeen);
    EXPECT_TRUE(frameWaited);
    EXPECT_FALSE(information.isVisible());

    FrameThread after([&] { showingSeen = ui.IsInformationShowing(); });
    QTRY_VERIFY_WITH_TIMEOUT(after.Done(), 20000);
    EXPECT_FALSE(showingSeen);
}

TEST(GuiReactionUi, CloseReleasesAWaitingFrameAndLaterCallsReturnAtOnce)
{
    QWidget mainWindow;
    TfmInformacja information(&mainWindow);
    GuiReactionUi ui(&mainWindow, &information);

    WhenTrue([&] { return information.isVisible(); }, [&] { ui.Close(); });
    FrameThread frame([&] { ui.ShowInformationModal("x"); });
    QTRY_VERIFY_WITH_TIMEOUT(frame.Done(), 20000);
    EXPECT_TRUE(ui.Closing());
    EXPECT_FALSE(information.isVisible());

    // No GUI event loop runs now; the calls must still return.
    std::atomic<bool> showing{true};
    std::thread late([&] {
        showing = ui.IsInformationShowing();
        ui.ShowInformationModal("y");
        ui.CloseMainWindow();
    });
    late.join();
    EXPECT_FALSE(showing);
    EXPECT_FALSE(information.isVisible());
}

TEST(GuiReactionUi, CloseWhileTheCallIsStillQueued)
{
    QWidget mainWindow;
    TfmInformacja information(&mainWindow);
    auto ui = std::make_unique<GuiReactionUi>(&mainWindow, &information);
    // The frame thread posts and waits; the GUI thread closes the bridge
    // before it ever runs the queued call.
    std::atomic<bool> posted{false};
    std::thread frame([&] {
        posted = true;
        ui->ShowInformationModal("never shown");
    });
    while (!posted) std::this_thread::yield();
    ui->Close();
    frame.join();
    ui.reset();  // drops the pending call with its context
    QApplication::processEvents();
    EXPECT_FALSE(information.isVisible());
}

TEST(GuiReactionUi, CloseMainWindowStartsTheCloseWithoutWaitingForIt)
{
    QWidget mainWindow;
    mainWindow.show();
    TfmInformacja information(&mainWindow);
    GuiReactionUi ui(&mainWindow, &information);
    FrameThread frame([&] { ui.CloseMainWindow(); });
    QTRY_VERIFY_WITH_TIMEOUT(frame.Done(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!mainWindow.isVisible(), 20000);
}

TEST(GuiReactionUi, CallsOnTheGuiThreadRunDirectly)
{
    QWidget mainWindow;
    mainWindow.show();
    TfmInformacja information(&mainWindow);
    GuiReactionUi ui(&mainWindow, &information);
    EXPECT_FALSE(ui.IsInformationShowing());
    ui.CloseMainWindow();
    EXPECT_FALSE(mainWindow.isVisible());
}

}  // namespace
}  // namespace qmd
