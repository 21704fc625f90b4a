#include "capture/network_camera_window/camera_search_panel.h"

#include "capture/discovery/camera_finder_module.h"
#include "capture/graph/capture_log.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qmd {

namespace {

enum Column { MakerColumn, ModelColumn, AddressColumn, StateColumn };
// The row's device address, kept in its first cell.
constexpr int kDeviceAddressRole = Qt::UserRole;

// What a camera tells of itself, shortened to what a list shows: its
// answers are bounded, but a row of kilobytes reads as nothing.
QString Shown(const QString& text)
{
    constexpr qsizetype kMaxShown = 80;
    return text.size() <= kMaxShown ? text : text.left(kMaxShown - 1) + QChar(0x2026);
}

QString ProfileCaption(const MediaProfile& profile)
{
    QString caption = Shown(profile.Name.isEmpty() ? profile.Token : profile.Name);
    if (!profile.Encoding.isEmpty()) caption += QStringLiteral(", ") + Shown(profile.Encoding);
    if (profile.Width > 0 && profile.Height > 0) {
        caption += QStringLiteral(", %1×%2").arg(profile.Width).arg(profile.Height);
    }
    return caption;
}

}  // namespace

CameraSearchPanel::CameraSearchPanel(CredentialsSource credentials, QWidget* parent)
    : QWidget(parent), Credentials(std::move(credentials))
{
    SearchButton = new QPushButton(tr("Szukaj w sieci"), this);
    SearchButton->setAutoDefault(false);
    Status = new QLabel(this);
    Cameras = new QTreeWidget(this);
    Cameras->setHeaderLabels({tr("Producent"), tr("Model"), tr("Adres"), tr("Stan")});
    Cameras->setRootIsDecorated(false);
    Cameras->setAllColumnsShowFocus(true);
    Cameras->header()->setStretchLastSection(true);
    Cameras->installEventFilter(this);
    Streams = new QComboBox(this);
    Streams->setEnabled(false);
    auto* streamLabel = new QLabel(tr("Strumień:"), this);
    streamLabel->setBuddy(Streams);

    auto* top = new QHBoxLayout;
    top->addWidget(SearchButton);
    top->addWidget(Status, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(streamLabel);
    bottom->addWidget(Streams, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(Cameras);
    layout->addLayout(bottom);

    connect(SearchButton, &QPushButton::clicked, this, &CameraSearchPanel::Search);
    connect(Cameras, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* row) { Choose(row); });
    connect(Streams, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && static_cast<std::size_t>(index) < Profiles.size()) {
            emit StreamChosen(Profiles[static_cast<std::size_t>(index)].StreamAddress);
        }
    });
}

bool CameraSearchPanel::HaveFinder()
{
    if (Finder) return true;
    if (!MakeFinder) {
        const CameraFinderModule module = LoadCameraFinderModule();
        if (!module.Make) {
            Status->setText(module.Failure);
            Status->setToolTip(module.Detail);
            qCWarning(lcCapture).noquote() << "the camera finder cannot be loaded:" << module.Detail;
            return false;
        }
        MakeFinder = module.Make;
    }
    // The finder lives no longer than this panel and reports from the event
    // loop of its thread, so it may call back into it.
    CameraFinderHandlers handlers;
    handlers.Found = [this](const FoundCamera& camera) { AddCamera(camera); };
    handlers.SearchFinished = [this](const QString& failure) { SearchFinished(failure); };
    handlers.Answered = [this](const DeviceInformation& device, const std::vector<MediaProfile>& profiles) {
        ShowStreams(device, profiles);
    };
    handlers.Failed = [this](OnvifFailure failure) { ShowFailure(failure); };
    Finder = MakeFinder(std::move(handlers));
    Status->setToolTip({});
    return true;
}

void CameraSearchPanel::Search()
{
    if (!HaveFinder()) return;
    Finder->Cancel();
    Asked = nullptr;
    Profiles.clear();
    Streams->clear();
    Streams->setEnabled(false);
    Cameras->clear();
    // The list is where the user goes next, and a disabled button cannot
    // keep the focus.
    Cameras->setFocus();
    SearchButton->setEnabled(false);
    Status->setText(tr("Szukam kamer…"));
    Finder->Search(Destination);
}

void CameraSearchPanel::AddCamera(const FoundCamera& camera)
{
    auto* row = new QTreeWidgetItem(Cameras);
    row->setText(MakerColumn, Shown(camera.Maker));
    // The camera's own name where it gives no model.
    row->setText(ModelColumn, Shown(camera.Model.isEmpty() ? camera.Name : camera.Model));
    row->setText(AddressColumn, Shown(camera.DeviceAddress.host()));
    row->setData(MakerColumn, kDeviceAddressRole, camera.DeviceAddress);
    if (Cameras->currentItem() == nullptr) Cameras->setCurrentItem(row);
}

void CameraSearchPanel::SearchFinished(const QString& failure)
{
    SearchButton->setEnabled(true);
    if (!failure.isEmpty()) {
        Status->setText(failure);
    } else if (Cameras->topLevelItemCount() == 0) {
        Status->setText(tr("Nie znaleziono żadnej kamery ONVIF."));
    } else {
        Status->setText(tr("Wybierz kamerę (dwukrotne kliknięcie lub Enter)."));
    }
}

void CameraSearchPanel::Choose(QTreeWidgetItem* row)
{
    if (row == nullptr || !HaveFinder()) return;
    // A camera still being asked is abandoned for this one.
    if (Asked != nullptr && Asked != row && Finder->IsAsking()) SetState(Asked, {});
    Asked = row;
    Profiles.clear();
    Streams->clear();
    Streams->setEnabled(false);
    SetState(row, tr("Pytam kamerę…"));
    Finder->Ask(row->data(MakerColumn, kDeviceAddressRole).toUrl(), Credentials ? Credentials() : OnvifCredentials{});
}

void CameraSearchPanel::ShowStreams(const DeviceInformation& device, const std::vector<MediaProfile>& profiles)
{
    if (Asked == nullptr) return;
    if (!device.Maker.isEmpty()) Asked->setText(MakerColumn, Shown(device.Maker));
    if (!device.Model.isEmpty()) Asked->setText(ModelColumn, Shown(device.Model));
    SetState(Asked, tr("Gotowe"));
    Profiles = profiles;
    for (const MediaProfile& profile : Profiles) Streams->addItem(ProfileCaption(profile));
    Streams->setEnabled(true);
    Streams->setCurrentIndex(0);
    // Another stream is chosen there, or Enter accepts the window.
    if (Cameras->hasFocus()) Streams->setFocus();
    emit StreamChosen(Profiles.front().StreamAddress);
}

void CameraSearchPanel::ShowFailure(OnvifFailure failure)
{
    if (Asked != nullptr) SetState(Asked, Describe(failure));
}

void CameraSearchPanel::SetState(QTreeWidgetItem* row, const QString& state)
{
    row->setText(StateColumn, state);
    row->setToolTip(StateColumn, state);
}

bool CameraSearchPanel::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the list chooses the camera; it must not also press the
    // window's default button.
    if (watched == Cameras && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Choose(Cameras->currentItem());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qmd
