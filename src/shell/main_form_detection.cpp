// The detection side of the main window: the frame handler on the frame
// thread, and the three controls that set the detection state.
#include <QAction>
#include <QLabel>

#include <optional>

#include "base/settings_file.h"
#include "capture/graph/filter_graph.h"
#include "capture/grabber/sample_grabber.h"
#include "gui/input_query.h"
#include "shell/main_form.h"
#include "shell/selection_slider.h"

namespace qmd {

void TfmMainForm::SampleGrabberBuffer(TSampleGrabber* sender, double SampleTime, const std::uint8_t* pBuffer,
                                      int BufferLen)
{
    (void)sender;
    (void)SampleTime;
    // Captured by reference through one small object, so the copy callback
    // fits std::function's own storage and a frame allocates nothing here.
    struct Delivery {
        TfmMainForm* form;
        const std::uint8_t* buffer;
        int length;
    } const delivery{this, pBuffer, BufferLen};
    // A failed cycle is reported by the grabber's frame thread, the one
    // catch on this thread.
    RunDetectionCycle(
        Detection,
        [&delivery](FrameImage& slot) {
            return delivery.form->SampleGrabber->FrameToBitmap(&slot, delivery.buffer, delivery.length);
        },
        reactions_.load());
}

void TfmMainForm::TrackBar1Change()
{
    const std::uint8_t threshold = ThresholdForPosition(TrackBar1->value());
    Detection.Threshold.store(threshold);
    Label1->setText(QStringLiteral("Czułość: %1").arg(TrackBar1->maximum() - threshold));
}

void TfmMainForm::Opnieniepowczeniuwykrywania1Click()
{
    const QString current = QString::number(Detection.StartDelayFrames.load());
    const std::optional<QString> answer = InputQuery(
        this, QStringLiteral("Wpisz liczbę"),
        QStringLiteral("Wpisz liczbę klatek, które po włączeniu wykrywania ruchu będą zignorowane."), current, 255);
    // Cancel answers with the text the dialog opened with.
    const std::optional<std::int32_t> value = ApplyStartDelayText(Detection, answer.value_or(current).toStdString());
    if (!value) return;
    SettingsFile settings(SettingsPath());
    settings.Write(keys::StartDelay, *value);
}

void TfmMainForm::Resetujpami1Click()
{
    FilterGraph->PauseGraph();
    ClearDetectionMemory(Detection);
    FilterGraph->RunGraph();
}

}  // namespace qmd
