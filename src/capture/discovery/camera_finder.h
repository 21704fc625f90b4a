#pragma once
// Finding ONVIF cameras and asking them for their streams, as the window
// "Kamera sieciowa" sees it. The work is done over Qt Network by a module
// the program loads on the first search (camera_finder_module.h), so that a
// program that never searches does not map Qt Network and what it links
// (Kerberos, libproxy, Brotli). QtCore only.
#include "capture/discovery/found_camera.h"
#include "capture/discovery/onvif_device.h"

#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

namespace qmd {

// Where a finder reports, on the thread that owns it (the GUI thread), from
// its event loop; set when it is made. Each may be empty.
struct CameraFinderHandlers {
    // A camera answered the probe.
    std::function<void(const FoundCamera& camera)> Found;
    // The look is over; `failure` says in plain words why the probe could
    // not be sent, empty otherwise.
    std::function<void(const QString& failure)> SearchFinished;
    // The camera asked answered with its profiles in its order (the first is
    // its main stream), each with its stream address.
    std::function<void(const DeviceInformation& device, const std::vector<MediaProfile>& profiles)> Answered;
    std::function<void(OnvifFailure failure)> Failed;
};

class CameraFinder {
public:
    virtual ~CameraFinder() = default;

    // Sends the probe and reports the cameras that answer within 3 s; a
    // search already running starts again.
    virtual void Search(const SearchDestination& destination) = 0;
    // Asks one camera for its streams; a camera still being asked is
    // abandoned.
    virtual void Ask(const QUrl& deviceAddress, const OnvifCredentials& credentials) = 0;
    // Abandons the camera being asked, without a report.
    virtual void Cancel() = 0;
    virtual bool IsAsking() const = 0;
};

using CameraFinderMaker = std::function<std::unique_ptr<CameraFinder>(CameraFinderHandlers handlers)>;

}  // namespace qmd

// The module's one export: a new finder that reports through `handlers`,
// owned by the caller.
extern "C" qmd::CameraFinder* qmd_make_camera_finder(qmd::CameraFinderHandlers handlers);
