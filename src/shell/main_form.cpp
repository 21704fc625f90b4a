// Construction of the main window: the capture components, the picture with
// the sensitivity label and slider under it, and the desktop integration.
#include "shell/main_form.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QPalette>

#include "capture/graph/filter.h"
#include "capture/graph/filter_graph.h"
#include "capture/grabber/sample_grabber.h"
#include "capture/devices/sys_dev_enum.h"
#include "capture/video_window.h"
#include "common/application_title.h"
#include "gui/error_report.h"
#include "react/core/clip_recorder.h"
#include "shell/anchor_layout.h"
#include "shell/desktop/edge_snap.h"
#include "shell/desktop/no_taskbar.h"
#include "shell/desktop/tray_controller.h"
#include "shell/selection_slider.h"

namespace qmd {

TfmMainForm* fmMainForm = nullptr;

TfmMainForm::TfmMainForm(Options options, QWidget* parent) : QMainWindow(parent), options_(std::move(options))
{
    fmMainForm = this;
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);

    BuildComponents();
    BuildLayout();
    BuildMenu();
    WireReactionSwitches();
    WireClipRecorder();

    // The area under the menu bar is the designed 307 x 285.
    resize(kDesignClientWidth, kDesignClientHeight + MainMenu1->sizeHint().height());
    move(kDesignLeft, kDesignTop);

    tray_ = new TrayController(this, TrayCallbacks{
                                         .playEventSound =
                                             [this](const QString& event) {
                                                 if (options_.PlayEventSound) options_.PlayEventSound(event);
                                             },
                                         .afterRestore =
                                             [this] {
                                                 FilterGraph->PauseGraph();
                                                 FilterGraph->RunGraph();
                                             },
                                         .trayAvailable = options_.TrayAvailable,
                                     });
    snapper_ = new EdgeSnapper(this);
    ApplyNoTaskbarHints(this);

    WatchCamera();

    RunCommand(this, [this] { FormCreate(); });
}

TfmMainForm::~TfmMainForm()
{
    // No frame may reach this window any more: the frame thread is joined
    // (whoever owns the windows has released every wait it may be in), then
    // the graph is released while its members still exist.
    SampleGrabber->Shutdown();
    SampleGrabber->SetOnBuffer({});
    try {
        FilterGraph->SetActive(false);
    } catch (...) {
        // Releasing never reports anything useful at this point.
    }
    SampleGrabber->SetFilterGraph(nullptr);
    Filter->SetFilterGraph(nullptr);
    VideoWindow->SetFilterGraph(nullptr);
    if (fmMainForm == this) fmMainForm = nullptr;
}

void TfmMainForm::BuildComponents()
{
    FilterGraph = new TFilterGraph(this);
    FilterGraph->setObjectName(QStringLiteral("FilterGraph"));
    filterOwner_ = std::make_unique<TFilter>();
    Filter = filterOwner_.get();
    Filter->SetFilterGraph(FilterGraph);
    grabberOwner_ = std::make_unique<TSampleGrabber>();
    SampleGrabber = grabberOwner_.get();
    SampleGrabber->SetFilterGraph(FilterGraph);
    SampleGrabber->SetOnBuffer([this](TSampleGrabber* sender, double sampleTime, const std::uint8_t* buffer,
                                      int length) { SampleGrabberBuffer(sender, sampleTime, buffer, length); });
}

void TfmMainForm::BuildLayout()
{
    auto* clientArea = new QWidget(this);
    clientArea->setObjectName(QStringLiteral("ClientArea"));
    // Button-face background, as dialogs and tool windows have.
    clientArea->setBackgroundRole(QPalette::Button);
    clientArea->setAutoFillBackground(true);
    setCentralWidget(clientArea);
    auto* layout = new AnchorLayout(clientArea, QSize(kDesignClientWidth, kDesignClientHeight));

    VideoWindow = new TVideoWindow(clientArea);
    VideoWindow->setObjectName(QStringLiteral("VideoWindow"));
    VideoWindow->SetFilterGraph(FilterGraph);
    VideoWindow->ShowDetectionMarks(&Detection.Areas, &Detection.Marks);
    layout->AddAnchored(VideoWindow, QRect(0, 0, 306, 229),
                        Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);

    Label1 = new QLabel(QStringLiteral("Czułość:"), clientArea);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    layout->AddAnchored(Label1, QRect(32, 240, 241, 13), Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);

    TrackBar1 = new SelectionSlider(clientArea);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(0, 255);
    TrackBar1->setValue(210);
    TrackBar1->setTickPosition(QSlider::TicksAbove);
    TrackBar1->setTickInterval(25);
    TrackBar1->SetSelection(130, 220);
    TrackBar1->setSingleStep(1);
    TrackBar1->setPageStep(2);
    layout->AddAnchored(TrackBar1, QRect(24, 256, 257, 25), Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    connect(TrackBar1, &QSlider::valueChanged, this, [this] { RunMenuCommand(&TfmMainForm::TrackBar1Change); });
}

}  // namespace qmd
