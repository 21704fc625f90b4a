// "Opcje": the caption refresh each time the menu opens, and the options
// whose command only stores a setting.
#include <QAction>

#include "base/settings_file.h"
#include "shell/desktop/autostart_entry.h"
#include "shell/main_form.h"

namespace qmd {

void TfmMainForm::Opcje1Click()
{
    Opnieniepowczeniuwykrywania1->setText(
        QStringLiteral("Opóźnienie po włączeniu wykrywania [%1]").arg(Detection.StartDelayFrames.load()));
}

void TfmMainForm::Uruchamiajprzystarciesystemu1Click()
{
    if (Uruchamiajprzystarciesystemu1->isChecked())
        WriteAutostartEntry(CurrentExecutablePath());
    else
        RemoveAutostartEntry();
}

void TfmMainForm::MinimalizujdoTraya1Click()
{
    SettingsFile settings(SettingsPath());
    settings.Write(keys::MinimiseToTray, MinimalizujdoTraya1->isChecked());
}

void TfmMainForm::Zapamitujostatniowybraneurzdzenie1Click()
{
    SettingsFile settings(SettingsPath());
    settings.Write(keys::RememberDevice, Zapamitujostatniowybraneurzdzenie1->isChecked());
}

void TfmMainForm::Zapamitajpozycjokna1Click()
{
    SettingsFile settings(SettingsPath());
    settings.Write(keys::RememberWindowPosition, Zapamitajpozycjokna1->isChecked());
}

}  // namespace qmd
