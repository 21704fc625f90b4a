// The main window's commands that configure the reactions to motion.
#include <QMessageBox>

#include <filesystem>

#include "base/app_dir.h"
#include "base/settings_file.h"
#include "base/settings_keys.h"
#include "capture/graph/filter_graph.h"
#include "gui/browse_for_folder.h"
#include "gui/input_query.h"
#include "react/autostart_window.h"
#include "react/core/process_launcher.h"
#include "react/tryb_pracy_window.h"
#include "shell/main_form.h"

namespace qmd {

namespace {
std::string Utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}
}  // namespace

void TfmMainForm::Uruchomprogramy1Click()
{
    // The window stores the list and sets this item's mark itself.
    fmAutostart->exec();
}

void TfmMainForm::Zrbzdjcie1Click()
{
    // The chooser opens in the folder in use.
    const QString current = QString::fromStdString(SettingsFile(SettingsPath()).Read(keys::PhotoFolder));
    const QString folder = BrowseForFolder(
        this, QStringLiteral("Wskaż katalog, w którym program ma zapisywać zdjęcia pochodzące z kamery."), current);
    SettingsFile settings(SettingsPath());
    settings.Write(keys::PhotoFolder, Utf8(folder));
    Zrbzdjcie1->setChecked(!folder.isEmpty());
}

void TfmMainForm::Uruchomalarm1Click()
{
    SettingsFile settings(SettingsPath());
    settings.Write(keys::Alarm, Uruchomalarm1->isChecked());
}

void TfmMainForm::Odtwrzplikdwikowy1Click()
{
    if (FilterGraph) FilterGraph->PauseGraph();
    const bool confirmed = OpenSound.Execute(this);
    Odtwrzplikdwikowy1->setChecked(confirmed);
    // After a cancel the name of the last confirmed use is stored again.
    SettingsFile settings(SettingsPath());
    settings.Write(keys::SoundFile, Utf8(OpenSound.FileName()));
    if (FilterGraph) FilterGraph->RunGraph();
}

void TfmMainForm::Wywietlinformacj1Click()
{
    if (FilterGraph) FilterGraph->PauseGraph();
    const QString text = InputQuery(this, QStringLiteral("Wprowadź treść informacji"),
                                    QStringLiteral("Wprowadź treść informacji, która zostanie wyświetlona po "
                                                   "wykryciu ruchu"),
                                    QString(), 255)
                             .value_or(QString());
    Wywietlinformacj1->setChecked(!text.isEmpty());
    if (FilterGraph) FilterGraph->RunGraph();
    SettingsFile settings(SettingsPath());
    settings.Write(keys::InformationText, Utf8(text));
}

void TfmMainForm::Przecztrybpracykomputera1Click()
{
    // The window stores the choice and sets this item's mark itself.
    fmTrybPracy->exec();
}

void TfmMainForm::Dopiszdodziennika1Click()
{
    SettingsFile settings(SettingsPath());
    settings.Write(keys::KeepLog, Dopiszdodziennika1->isChecked());
}

void TfmMainForm::Pokapowiadomienie1Click()
{
    SettingsFile settings(SettingsPath());
    settings.Write(keys::Notification, Pokapowiadomienie1->isChecked());
}

void TfmMainForm::Pokadziennik1Click()
{
    // The same name the log is written under: file names are case-sensitive here.
    const std::string path = AppFile(keys::kLogFileName);
    std::error_code ignored;
    if (std::filesystem::is_regular_file(path, ignored)) {
        // The viewer runs on its own; whether it could be started is not examined.
        static ProcessLauncher viewer;
        viewer.OpenWithAssociation(path);
        return;
    }
    QMessageBox::warning(this, QStringLiteral("Nie odnaleziono dziennika!"),
                         QStringLiteral("Plik dziennika nie istnieje. Aby program prowadził dziennik, zaznacz opcję "
                                        "\"Dopisz do dziennika\" w submenu \"Gdy wykryjesz ruch\" (menu \"Opcje\")."));
}

}  // namespace qmd
