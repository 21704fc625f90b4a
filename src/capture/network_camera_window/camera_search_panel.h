#pragma once
// "Szukaj w sieci": the part of the window "Kamera sieciowa" that finds ONVIF
// cameras on the local network and gives their stream addresses. The button
// lists, within 3 s, each camera that answers (maker, model, address);
// choosing one (double click, or Enter) asks it for its profiles with the
// user and password of the window's fields. The main stream's address is
// then offered to the window's "Adres", and "Strumień" lets the other
// profiles (a sub-stream) be chosen instead; the focus goes there from the
// list, so that Enter then accepts the window. A camera that refuses the user
// or password, or cannot be asked, says why in its row. Nothing here waits:
// the look and the questions run from the event loop.
#include "capture/discovery/camera_search.h"
#include "capture/discovery/onvif_camera_client.h"

#include <QWidget>

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace qmd {

class CameraSearchPanel : public QWidget {
    Q_OBJECT
public:
    // The user and password the window's fields hold when a camera is chosen.
    using CredentialsSource = std::function<OnvifCredentials()>;

    explicit CameraSearchPanel(CredentialsSource credentials, QWidget* parent = nullptr);

    // Where the probe goes (the cameras' multicast group unless told).
    void SetDestination(const SearchDestination& destination) { Destination = destination; }

    QPushButton* SearchButton = nullptr;
    QTreeWidget* Cameras = nullptr;
    QComboBox* Streams = nullptr;

    // Starts a look ("Szukaj w sieci").
    void Search();
    // Asks the camera of that row for its streams.
    void Choose(QTreeWidgetItem* row);

signals:
    // A stream was chosen: its address, for "Adres".
    void StreamChosen(const QString& address);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddCamera(const FoundCamera& camera);
    void SearchFinished(const QString& failure);
    void ShowStreams(const DeviceInformation& device, const std::vector<MediaProfile>& profiles);
    void ShowFailure(OnvifCameraClient::Failure failure);
    void SetState(QTreeWidgetItem* row, const QString& state);

    CredentialsSource Credentials;
    SearchDestination Destination;
    CameraSearch Search_;
    OnvifCameraClient Client;
    QLabel* Status = nullptr;
    QTreeWidgetItem* Asked = nullptr;
    std::vector<MediaProfile> Profiles;
};

}  // namespace qmd
