#include "capture/discovery/onvif_camera_finder.h"

#include "capture/discovery/camera_search.h"
#include "capture/discovery/onvif_camera_client.h"

namespace qmd {
namespace {

class OnvifCameraFinder final : public CameraFinder {
public:
    explicit OnvifCameraFinder(CameraFinderHandlers handlers) : Handlers(std::move(handlers))
    {
        QObject::connect(&Search_, &CameraSearch::Found, &Search_, [this](const FoundCamera& camera) {
            if (Handlers.Found) Handlers.Found(camera);
        });
        QObject::connect(&Search_, &CameraSearch::Finished, &Search_, [this](const QString& failure) {
            if (Handlers.SearchFinished) Handlers.SearchFinished(failure);
        });
        QObject::connect(&Client, &OnvifCameraClient::Answered, &Client,
                         [this](const DeviceInformation& device, const std::vector<MediaProfile>& profiles) {
                             if (Handlers.Answered) Handlers.Answered(device, profiles);
                         });
        QObject::connect(&Client, &OnvifCameraClient::Failed, &Client, [this](OnvifFailure failure) {
            if (Handlers.Failed) Handlers.Failed(failure);
        });
    }

    void Search(const SearchDestination& destination) override { Search_.Start(destination); }
    void Ask(const QUrl& deviceAddress, const OnvifCredentials& credentials) override
    {
        Client.Ask(deviceAddress, credentials);
    }
    void Cancel() override { Client.Cancel(); }
    bool IsAsking() const override { return Client.IsAsking(); }

private:
    // Declared first, so that it outlives the two that call it.
    CameraFinderHandlers Handlers;
    CameraSearch Search_;
    OnvifCameraClient Client;
};

}  // namespace

std::unique_ptr<CameraFinder> MakeOnvifCameraFinder(CameraFinderHandlers handlers)
{
    return std::make_unique<OnvifCameraFinder>(std::move(handlers));
}

}  // namespace qmd
