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
// the look and the questions run from the event loop. The finder that does
// the work is made on the first search, from the module that holds it
// unless told otherwise; a module that cannot be loaded is said in the
// panel, and the next search tries again.
#include "capture/discovery/camera_finder.h"

#include <QWidget>

#include <functional>
#include <memory>
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
    // What makes the finder at the first search, in place of the module's.
    void SetFinderMaker(CameraFinderMaker maker) { MakeFinder = std::move(maker); }

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
    void ShowFailure(OnvifFailure failure);
    // The finder, made now if it is not yet; false, with the reason in the
    // status, when it cannot be.
    bool HaveFinder();
    void SetState(QTreeWidgetItem* row, const QString& state);

    CredentialsSource Credentials;
    SearchDestination Destination;
    CameraFinderMaker MakeFinder;
    std::unique_ptr<CameraFinder> Finder;
    QLabel* Status = nullptr;
    QTreeWidgetItem* Asked = nullptr;
    std::vector<MediaProfile> Profiles;
};

}  // namespace qmd
