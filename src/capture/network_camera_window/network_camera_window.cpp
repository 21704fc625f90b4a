#include "capture/network_camera_window/network_camera_window.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "capture/graph/camera_probe.h"
#include "capture/network_camera_window/camera_search_panel.h"

namespace qmd {

namespace {

constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 240;

}  // namespace

NetworkCameraWindow::NetworkCameraWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Kamera sieciowa"));
    Nazwa = new QLineEdit(this);
    Adres = new QLineEdit(this);
    Adres->setPlaceholderText(QStringLiteral("http://, https:// lub rtsp://"));
    Uzytkownik = new QLineEdit(this);
    Haslo = new QLineEdit(this);
    Haslo->setEchoMode(QLineEdit::Password);
    // The address goes nowhere but this window's own fields.
    for (QLineEdit* field : {Nazwa, Adres, Uzytkownik, Haslo}) field->setMaxLength(2000);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Nazwa:"), Nazwa);
    fields->addRow(QStringLiteral("Adres:"), Adres);
    fields->addRow(QStringLiteral("Użytkownik:"), Uzytkownik);
    fields->addRow(QStringLiteral("Hasło:"), Haslo);

    sections_ = new QVBoxLayout;

    Obraz = new QLabel(this);
    Obraz->setFixedSize(kPictureWidth, kPictureHeight);
    Obraz->setAlignment(Qt::AlignCenter);
    Obraz->setStyleSheet(QStringLiteral("background: black"));
    Obraz->hide();  // until "Sprawdź" has a picture to show
    Wynik = new QLabel(this);
    Wynik->setWordWrap(true);
    Wynik->setTextFormat(Qt::PlainText);

    // In the order they are named, "Sprawdź" apart from the two that close.
    Sprawdz = new QPushButton(QStringLiteral("Sprawdź"), this);
    OK = new QPushButton(QStringLiteral("OK"), this);
    Anuluj = new QPushButton(QStringLiteral("Anuluj"), this);
    Sprawdz->setAutoDefault(false);
    Anuluj->setAutoDefault(false);
    OK->setDefault(true);
    connect(OK, &QPushButton::clicked, this, &NetworkCameraWindow::accept);
    connect(Anuluj, &QPushButton::clicked, this, &NetworkCameraWindow::reject);
    connect(Sprawdz, &QPushButton::clicked, this, [this] { SprawdzClick(); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Sprawdz);
    buttons->addStretch();
    buttons->addWidget(OK);
    buttons->addWidget(Anuluj);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(sections_);
    layout->addWidget(Obraz, 0, Qt::AlignHCenter);
    layout->addWidget(Wynik);
    layout->addLayout(buttons);
    setTabOrder(Nazwa, Adres);
    setTabOrder(Adres, Uzytkownik);
    setTabOrder(Uzytkownik, Haslo);
    setTabOrder(Haslo, Sprawdz);
    setTabOrder(Sprawdz, OK);
    setTabOrder(OK, Anuluj);

    probe_ = new CameraProbe(this);
    connect(probe_, &CameraProbe::Pictured, this, [this](const ProbePicture& picture) { ShowPicture(picture); });
    connect(probe_, &CameraProbe::Failed, this,
            [this](ProbeFailure failure, const QString& detail) { ShowFailure(failure, detail); });

    // Made last, so that it comes after the fields and buttons in the tab order.
    SzukajWSieci = new CameraSearchPanel([this] { return OnvifCredentials{Uzytkownik->text(), Haslo->text()}; }, this);
    connect(SzukajWSieci, &CameraSearchPanel::StreamChosen, this, [this](const QString& address) { FillAddress(address); });
    AddSection(SzukajWSieci);
}

NetworkCameraWindow::~NetworkCameraWindow() = default;

void NetworkCameraWindow::SetCamera(const Camera& camera)
{
    Nazwa->setText(camera.Name);
    Adres->setText(camera.Address);
    Uzytkownik->setText(camera.User);
    Haslo->setText(camera.Password);
}

void NetworkCameraWindow::AddSection(QWidget* section) { sections_->addWidget(section); }

void NetworkCameraWindow::FillAddress(const QString& address, const QString& user)
{
    Adres->setText(address);
    if (!user.isEmpty()) Uzytkownik->setText(user);
}

QString NetworkCameraWindow::AddressProblem(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https" && scheme != u"rtsp"))
        return QStringLiteral("Adres kamery musi zaczynać się od http://, https:// lub rtsp://.");
    if (url.host().isEmpty()) return QStringLiteral("W adresie brakuje nazwy lub numeru komputera kamery.");
    return {};
}

void NetworkCameraWindow::TakeCredentialsOutOfAddress()
{
    QUrl url(Adres->text().trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.userInfo().isEmpty()) return;
    if (Uzytkownik->text().isEmpty()) Uzytkownik->setText(url.userName(QUrl::FullyDecoded));
    if (Haslo->text().isEmpty()) Haslo->setText(url.password(QUrl::FullyDecoded));
    url.setUserInfo({});
    Adres->setText(url.toString(QUrl::FullyEncoded));
}

NetworkCameraWindow::Camera NetworkCameraWindow::Entered() const
{
    return {Nazwa->text().trimmed(), Adres->text().trimmed(), Uzytkownik->text(), Haslo->text()};
}

void NetworkCameraWindow::Refuse(QLineEdit* field, const QString& reason)
{
    Wynik->setText(reason);
    field->setFocus();
    field->selectAll();
}

void NetworkCameraWindow::accept()
{
    TakeCredentialsOutOfAddress();
    const Camera camera = Entered();
    if (camera.Name.isEmpty()) return Refuse(Nazwa, QStringLiteral("Podaj nazwę kamery."));
    if (nameTaken_ && nameTaken_(camera.Name))
        return Refuse(Nazwa, QStringLiteral("Kamera o nazwie „%1” już jest na liście.").arg(camera.Name));
    if (const QString problem = AddressProblem(camera.Address); !problem.isEmpty()) return Refuse(Adres, problem);
    QDialog::accept();
}

void NetworkCameraWindow::done(int result)
{
    probe_->Stop();
    QDialog::done(result);
}

void NetworkCameraWindow::SprawdzClick()
{
    TakeCredentialsOutOfAddress();
    const Camera camera = Entered();
    if (const QString problem = AddressProblem(camera.Address); !problem.isEmpty()) return Refuse(Adres, problem);
    Obraz->clear();
    Obraz->hide();
    Wynik->setText(QStringLiteral("Sprawdzam kamerę…"));
    probe_->Start({camera.Address.toStdString(), camera.User.toStdString(), camera.Password.toStdString()});
}

void NetworkCameraWindow::ShowPicture(const ProbePicture& picture)
{
    const QImage image(picture.Rgb.data(), picture.Width, picture.Height, picture.Width * 3, QImage::Format_RGB888);
    Obraz->setPixmap(QPixmap::fromImage(image.scaled(Obraz->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    Obraz->show();
    Wynik->setText(QStringLiteral("Kamera działa: obraz %1×%2.").arg(picture.Width).arg(picture.Height));
}

void NetworkCameraWindow::ShowFailure(ProbeFailure failure, const QString& detail)
{
    switch (failure) {
    case ProbeFailure::Refused: Wynik->setText(QStringLiteral("Kamera nie przyjęła użytkownika lub hasła.")); return;
    case ProbeFailure::NoAnswer: Wynik->setText(QStringLiteral("Pod tym adresem nic nie odpowiada.")); return;
    case ProbeFailure::NotCamera:
        Wynik->setText(QStringLiteral("Pod tym adresem odpowiada coś, co nie wysyła obrazu z kamery."));
        return;
    case ProbeFailure::Other: Wynik->setText(QStringLiteral("Nie udało się otworzyć kamery: %1").arg(detail)); return;
    }
}

}  // namespace qmd
