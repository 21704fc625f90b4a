// The two items of "Pomoc": a short guide and the About window. Both are
// windows of their own, not modal: the main window stays usable beside them,
// and a second click brings the one already open forward.
#include <QMessageBox>
#include <QPointer>

#include "base/app_dir.h"
#include "base/program_version.h"
#include "base/settings_keys.h"
#include "react/core/start_list_file.h"
#include "shell/main_form.h"

namespace qmd {

namespace {

QString HtmlPath(const std::string& path) { return QString::fromStdString(path).toHtmlEscaped(); }

const QString kGuide = QStringLiteral(
    "<p><b>Wybór kamery.</b> Menu <i>Urządzenia</i> zawiera kamery podłączone do komputera. Wybranie jednej z nich "
    "włącza podgląd i wykrywanie ruchu.</p>"
    "<p><b>Czułość.</b> Suwak pod obrazem ustala czułość (0–255): im wyżej, tym mniejsza zmiana obrazu wystarczy, "
    "by program uznał ją za ruch.</p>"
    "<p><b>Reakcje.</b> W menu <i>Opcje → Gdy wykryjesz ruch</i> zaznacz, co program ma zrobić po wykryciu ruchu: "
    "zrobić zdjęcie, włączyć alarm, uruchomić programy, odtworzyć dźwięk, wyświetlić informację, przełączyć tryb "
    "pracy komputera, dopisać wiersz do dziennika lub pokazać powiadomienie.</p>"
    "<p><b>F8.</b> <i>Resetuj pamięć</i> (klawisz F8) pozwala ponownie uruchomić programy i wyświetlić informację, "
    "które działają tylko raz, i od nowa odlicza opóźnienie po włączeniu wykrywania.</p>"
    "<p><b>Zasobnik.</b> Zminimalizowany program chowa się do zasobnika systemowego i dalej obserwuje obraz; "
    "kliknięcie ikony przywraca okno. Ponowne uruchomienie programu również pokazuje jego okno.</p>");

// One window per kind: shown, or brought forward when it is already open.
void ShowOnce(QPointer<QMessageBox>& box, QWidget* parent, const QString& title, const QString& text)
{
    if (!box) {
        box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setTextFormat(Qt::RichText);
        box->setTextInteractionFlags(Qt::TextBrowserInteraction);
        box->setWindowModality(Qt::NonModal);
    }
    box->show();
    box->raise();
    box->activateWindow();
}

}  // namespace

void TfmMainForm::Jakkorzystazprogramu1Click()
{
    static QPointer<QMessageBox> guide;
    ShowOnce(guide, this, QStringLiteral("Jak korzystać z programu?"), kGuide);
}

void TfmMainForm::Oprogramie1Click()
{
    static QPointer<QMessageBox> about;
    const QString text =
        QStringLiteral("<p><b>Quisk Motion Detector</b><br>wersja %1</p>"
                       "<p>Program wykrywający ruch w obrazie z kamery.</p>"
                       "<p>Licencja: wszelkie prawa zastrzeżone przez autorów (licencja nie została jeszcze "
                       "udzielona).</p>"
                       "<p>Ustawienia: %2<br>Dziennik: %3<br>Lista programów: %4</p>")
            .arg(QString::fromLatin1(ProgramVersion()), HtmlPath(SettingsPath()), HtmlPath(AppFile(keys::kLogFileName)),
                 HtmlPath(AppFile(kStartListFileName)));
    ShowOnce(about, this, QStringLiteral("O programie"), text);
}

}  // namespace qmd
