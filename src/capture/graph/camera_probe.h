#pragma once
// "Sprawdź" of the window "Kamera sieciowa": opens a network camera for a
// moment in a pipeline of its own and tells its first picture, or why it
// gave none. The pipeline's bus is read on the GUI thread and nothing waits
// for the camera: the answer comes as a signal, at the latest after the
// bound (a host that never answers).
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

#include "capture/sources/address_credentials.h"
#include "gst/handles.h"

namespace qmd {

class GraphBusReader;

// A picture in RGB, 3 bytes a pixel, rows of Width * 3 bytes, top down.
struct ProbePicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgb;
};

enum class ProbeFailure {
    Refused,    // the user or password was refused
    NoAnswer,   // nothing answers at that address
    NotCamera,  // what answers sends no video stream
    Other,
};

class CameraProbe : public QObject {
    Q_OBJECT
public:
    static constexpr int kAnswerBoundMs = 10'000;

    explicit CameraProbe(QObject* parent = nullptr);
    ~CameraProbe() override;

    // Starts a new look; one still under way is dropped first.
    void Start(const AddressCredentials& camera);
    void Stop();
    bool Running() const { return static_cast<bool>(pipeline_); }

signals:
    void Pictured(const qmd::ProbePicture& picture);
    // `detail` is GStreamer's message (no password in it), for Other.
    void Failed(qmd::ProbeFailure failure, const QString& detail);

private:
    void OnMessage(GstMessage* message);
    void Finish();

    gst::ElementHandle pipeline_;
    GstElement* sink_ = nullptr;  // owned by the pipeline
    std::unique_ptr<GraphBusReader> bus_;
    QTimer bound_;
};

// How a pipeline's error reads to the user of the window.
ProbeFailure ClassifyProbeError(const GError* error);

}  // namespace qmd
