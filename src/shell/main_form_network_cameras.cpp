// The network cameras the user adds to "Urządzenia": after the sources, a
// separator, "Zmień kamerę sieciową" and "Usuń kamerę sieciową" (each a
// submenu of the saved cameras, shown while there are any), and at the end
// "Dodaj kamerę sieciową…". The cameras live in kamery.ini, their passwords
// in the keyring (capture/sources/network_camera_store.h).
#include <QAction>
#include <QMenu>
#include <QMessageBox>

#include <optional>

#include "capture/devices/sys_dev_enum.h"
#include "capture/graph/filter.h"
#include "capture/network_camera_window/network_camera_window.h"
#include "capture/sources/network_camera_store.h"
#include "common/application_title.h"
#include "gui/error_report.h"
#include "shell/main_form.h"

namespace qmd {

namespace {

std::optional<SavedCamera> SavedCameraNamed(const QString& name)
{
    for (auto& camera : ReadSavedCameras(SavedCamerasPath()))
        if (QString::fromStdString(camera.Name) == name) return camera;
    return {};
}

SavedCamera FromWindow(const NetworkCameraWindow::Camera& entered)
{
    return {entered.Name.toStdString(), entered.Address.toStdString(), entered.User.toStdString(),
            CredentialsKept::None};
}

// The window with its check of names: `except` is the name of the camera
// being changed, which may keep it.
void ForbidTakenNames(NetworkCameraWindow& window, const QString& except)
{
    window.SetNameTaken([except](const QString& name) {
        return SavedCameraNameTaken(ReadSavedCameras(SavedCamerasPath()), name.toStdString(), except.toStdString());
    });
}

}  // namespace

void TfmMainForm::BuildNetworkCameraCommands()
{
    N4 = Devices->addSeparator();
    Zmiekamersieciow1 = Devices->addMenu(QStringLiteral("Zmień kamerę sieciową"));
    Usukamersieciow1 = Devices->addMenu(QStringLiteral("Usuń kamerę sieciową"));
    N5 = Devices->addSeparator();
    Dodajkamersieciow1 =
        AddCommandItem(Devices, QStringLiteral("Dodaj kamerę sieciową…"), &TfmMainForm::Dodajkamersieciow1Click);
    // The list is read as the menu opens: it may have changed in the file.
    connect(Devices, &QMenu::aboutToShow, this, [this] {
        const bool any = !ReadSavedCameras(SavedCamerasPath()).empty();
        Zmiekamersieciow1->menuAction()->setVisible(any);
        Usukamersieciow1->menuAction()->setVisible(any);
        N5->setVisible(any);
    });
    connect(Zmiekamersieciow1, &QMenu::aboutToShow, this,
            [this] { ListNetworkCamerasIn(Zmiekamersieciow1, &TfmMainForm::ChangeNetworkCamera); });
    connect(Usukamersieciow1, &QMenu::aboutToShow, this,
            [this] { ListNetworkCamerasIn(Usukamersieciow1, &TfmMainForm::RemoveNetworkCamera); });
    Zmiekamersieciow1->menuAction()->setVisible(false);
    Usukamersieciow1->menuAction()->setVisible(false);
    N5->setVisible(false);
}

void TfmMainForm::ListNetworkCamerasIn(QMenu* menu, void (TfmMainForm::*command)(const QString& name))
{
    menu->clear();
    for (const auto& camera : ReadSavedCameras(SavedCamerasPath())) {
        const QString name = QString::fromStdString(camera.Name);
        QString caption = name;
        caption.replace(QLatin1Char('&'), QLatin1String("&&"));
        QAction* entry = menu->addAction(caption);
        connect(entry, &QAction::triggered, this,
                [this, command, name] { RunCommand(this, [&] { (this->*command)(name); }); });
    }
}

void TfmMainForm::Dodajkamersieciow1Click()
{
    NetworkCameraWindow window(this);
    ForbidTakenNames(window, {});
    if (window.exec() != QDialog::Accepted) return;
    const NetworkCameraWindow::Camera entered = window.Entered();
    SaveNetworkCamera(FromWindow(entered), entered.Password.toStdString());
    SwitchToSavedCamera(entered.Name);
}

void TfmMainForm::ChangeNetworkCamera(const QString& name)
{
    const std::optional<SavedCamera> camera = SavedCameraNamed(name);
    if (!camera) return;
    NetworkCameraWindow window(this);
    ForbidTakenNames(window, name);
    window.SetCamera({name, QString::fromStdString(camera->Address), QString::fromStdString(camera->User),
                      QString::fromStdString(PasswordOfSavedCamera(*camera))});
    if (window.exec() != QDialog::Accepted) return;
    const NetworkCameraWindow::Camera entered = window.Entered();
    const auto open = Moniker::FromBytes(Filter->BaseFilter().Bytes()).Fields();
    const bool wasOpen = open && open->Kind == SourceKind::SavedCamera && open->Identity == camera->Address &&
                         open->DisplayName == camera->Name;
    SaveNetworkCamera(FromWindow(entered), entered.Password.toStdString(), camera->Name);
    // The camera watched now is opened again as it is now kept.
    if (wasOpen)
        SwitchToSavedCamera(entered.Name);
    else
        RefreshDeviceMenu();
}

void TfmMainForm::RemoveNetworkCamera(const QString& name)
{
    const auto answer = QMessageBox::question(this, QString::fromUtf8(kApplicationTitle),
                                              QStringLiteral("Usunąć kamerę sieciową „%1” z listy urządzeń?").arg(name),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
    DeleteNetworkCamera(name.toStdString());
    RefreshDeviceMenu();
}

// As choosing the camera's entry from the menu does.
void TfmMainForm::SwitchToSavedCamera(const QString& name)
{
    RefreshDeviceMenu();
    const auto sources = EnumerateSources();
    for (std::size_t position = 0; position < sources.size(); ++position) {
        if (sources[position].Kind != SourceKind::SavedCamera ||
            QString::fromStdString(sources[position].DisplayName) != name)
            continue;
        if (QAction* entry = deviceEntries_.value(static_cast<int>(position))) DeviceSwitch(entry);
        return;
    }
}

}  // namespace qmd
