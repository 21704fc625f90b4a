#pragma once
// The window "Kamera sieciowa": adds a network camera, or changes one.
//
// Fields in tab order: "Nazwa", "Adres" (http://, https://, rtsp://),
// "Użytkownik", "Hasło" (not shown as typed). "Sprawdź" opens the camera
// for a moment and shows its first picture or why there is none; "OK"
// (Enter) accepts what the fields hold once they pass the checks below;
// "Anuluj" (Escape) closes without a change. The window stores nothing: its
// owner takes Entered() after exec() returns QDialog::Accepted.
#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace qmd {

class CameraProbe;
class CameraSearchPanel;
struct ProbePicture;
enum class ProbeFailure;

class NetworkCameraWindow : public QDialog {
    Q_OBJECT
public:
    struct Camera {
        QString Name;
        QString Address;  // without user and password
        QString User;
        QString Password;
    };
    // Whether a name is taken by another camera (the one being changed is
    // not "another").
    using NameTaken = std::function<bool(const QString& name)>;

    explicit NetworkCameraWindow(QWidget* parent = nullptr);
    ~NetworkCameraWindow() override;

    void SetCamera(const Camera& camera);
    void SetNameTaken(NameTaken taken) { nameTaken_ = std::move(taken); }
    // What the fields hold, the address without any user and password typed
    // into it (they are moved to their own fields when those are empty).
    Camera Entered() const;

    // A further part of the window (finding cameras on the network, say),
    // placed under the fields and above the picture of "Sprawdź". Its place
    // in the tab order (after "Hasło", before "Sprawdź") is for its maker to
    // set with setTabOrder.
    void AddSection(QWidget* section);
    // For such a part: fills the address (and the user, when given).
    void FillAddress(const QString& address, const QString& user = {});

    QLineEdit* Nazwa = nullptr;
    QLineEdit* Adres = nullptr;
    QLineEdit* Uzytkownik = nullptr;
    QLineEdit* Haslo = nullptr;
    QPushButton* Sprawdz = nullptr;
    QPushButton* OK = nullptr;
    QPushButton* Anuluj = nullptr;
    QLabel* Obraz = nullptr;  // the first picture of "Sprawdź"
    QLabel* Wynik = nullptr;  // the outcome of "Sprawdź", or why OK refused
    CameraSearchPanel* SzukajWSieci = nullptr;  // "Szukaj w sieci"

    // Why the address cannot be stored; empty when it can.
    static QString AddressProblem(const QString& address);

public slots:
    void accept() override;
    void done(int result) override;

private:
    void SprawdzClick();
    void ShowPicture(const ProbePicture& picture);
    void ShowFailure(ProbeFailure failure, const QString& detail);
    void Refuse(QLineEdit* field, const QString& reason);
    // Moves a user and password typed into the address to their fields.
    void TakeCredentialsOutOfAddress();

    QVBoxLayout* sections_ = nullptr;
    CameraProbe* probe_ = nullptr;
    NameTaken nameTaken_;
};

}  // namespace qmd
