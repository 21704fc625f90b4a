// The menu tree of the main window: captions, check behaviour, separators
// and the F8 shortcut, each item wired to its command.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "gui/error_report.h"
#include "shell/main_form.h"

namespace qmd {

void TfmMainForm::RunMenuCommand(void (TfmMainForm::*handler)())
{
    RunCommand(this, [this, handler] { (this->*handler)(); });
}

// Flips its own check mark before its command runs (Qt does the flip).
QAction* TfmMainForm::AddToggleItem(QMenu* menu, const QString& caption, void (TfmMainForm::*handler)())
{
    QAction* item = menu->addAction(caption);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, handler] { RunMenuCommand(handler); });
    return item;
}

// Shows a check mark that only the program sets: the command decides it from
// the user's answer. Qt flips a checkable action before `triggered`, so the
// flip is undone first and the command starts from the mark as it was.
QAction* TfmMainForm::AddProgramMarkedItem(QMenu* menu, const QString& caption, void (TfmMainForm::*handler)())
{
    QAction* item = menu->addAction(caption);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, item, handler](bool checked) {
        item->setChecked(!checked);
        RunMenuCommand(handler);
    });
    return item;
}

QAction* TfmMainForm::AddCommandItem(QMenu* menu, const QString& caption, void (TfmMainForm::*handler)())
{
    QAction* item = menu->addAction(caption);
    connect(item, &QAction::triggered, this, [this, handler] { RunMenuCommand(handler); });
    return item;
}

void TfmMainForm::BuildMenu()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    Devices = MainMenu1->addMenu(QStringLiteral("Urządzenia"));
    Devices->setObjectName(QStringLiteral("Devices"));
    BuildNetworkCameraCommands();

    Opcje1 = MainMenu1->addMenu(QStringLiteral("Opcje"));
    Opcje1->setObjectName(QStringLiteral("Opcje1"));
    connect(Opcje1, &QMenu::aboutToShow, this, [this] { RunMenuCommand(&TfmMainForm::Opcje1Click); });

    Gdywykryjeszruch1 = Opcje1->addMenu(QStringLiteral("Gdy wykryjesz ruch"));
    Gdywykryjeszruch1->setObjectName(QStringLiteral("Gdywykryjeszruch1"));
    Uruchomprogramy1 = AddProgramMarkedItem(Gdywykryjeszruch1, QStringLiteral("Uruchom programy..."),
                                            &TfmMainForm::Uruchomprogramy1Click);
    Zrbzdjcie1 =
        AddProgramMarkedItem(Gdywykryjeszruch1, QStringLiteral("Zrób zdjęcie..."), &TfmMainForm::Zrbzdjcie1Click);
    Uruchomalarm1 = AddToggleItem(Gdywykryjeszruch1, QStringLiteral("Uruchom alarm"), &TfmMainForm::Uruchomalarm1Click);
    Odtwrzplikdwikowy1 = AddProgramMarkedItem(Gdywykryjeszruch1, QStringLiteral("Odtwórz plik dźwiękowy..."),
                                              &TfmMainForm::Odtwrzplikdwikowy1Click);
    Wywietlinformacj1 = AddProgramMarkedItem(Gdywykryjeszruch1, QStringLiteral("Wyświetl informację..."),
                                             &TfmMainForm::Wywietlinformacj1Click);
    Przecztrybpracykomputera1 =
        AddProgramMarkedItem(Gdywykryjeszruch1, QStringLiteral("Przełącz tryb pracy komputera..."),
                             &TfmMainForm::Przecztrybpracykomputera1Click);
    Dopiszdodziennika1 =
        AddToggleItem(Gdywykryjeszruch1, QStringLiteral("Dopisz do dziennika"), &TfmMainForm::Dopiszdodziennika1Click);
    // The newest reaction, kept the last item.
    Pokapowiadomienie1 =
        AddToggleItem(Gdywykryjeszruch1, QStringLiteral("Pokaż powiadomienie"), &TfmMainForm::Pokapowiadomienie1Click);

    Opnieniepowczeniuwykrywania1 = AddCommandItem(Opcje1, QStringLiteral("Opóźnienie po włączeniu wykrywania..."),
                                                  &TfmMainForm::Opnieniepowczeniuwykrywania1Click);
    Obszarybezwykrywania1 =
        AddCommandItem(Opcje1, QStringLiteral("Obszary bez wykrywania…"), &TfmMainForm::Obszarybezwykrywania1Click);
    Ustawieniawykrywania1 =
        AddCommandItem(Opcje1, QStringLiteral("Ustawienia wykrywania…"), &TfmMainForm::Ustawieniawykrywania1Click);
    Resetujpami1 = AddCommandItem(Opcje1, QStringLiteral("Resetuj pamięć"), &TfmMainForm::Resetujpami1Click);
    Resetujpami1->setShortcut(QKeySequence(Qt::Key_F8));
    // Also on the window itself, so F8 works whenever the window is active,
    // whether or not a menu has ever been opened.
    addAction(Resetujpami1);
    N1 = Opcje1->addSeparator();
    Uruchamiajprzystarciesystemu1 = AddToggleItem(Opcje1, QStringLiteral("Uruchamiaj przy starcie systemu"),
                                                  &TfmMainForm::Uruchamiajprzystarciesystemu1Click);
    MinimalizujdoTraya1 =
        AddToggleItem(Opcje1, QStringLiteral("Minimalizuj do Tray'a"), &TfmMainForm::MinimalizujdoTraya1Click);
    N2 = Opcje1->addSeparator();
    Pokadziennik1 = AddCommandItem(Opcje1, QStringLiteral("Pokaż dziennik"), &TfmMainForm::Pokadziennik1Click);
    Zapamitujostatniowybraneurzdzenie1 = AddToggleItem(Opcje1, QStringLiteral("Zapamiętuj ostatnio wybrane urządzenie"),
                                                       &TfmMainForm::Zapamitujostatniowybraneurzdzenie1Click);
    Zapamitajpozycjokna1 =
        AddToggleItem(Opcje1, QStringLiteral("Zapamiętaj pozycję okna"), &TfmMainForm::Zapamitajpozycjokna1Click);
    N3 = Opcje1->addSeparator();
    Zmierozdzielczo1 =
        AddCommandItem(Opcje1, QStringLiteral("Zmień rozdzielczość"), &TfmMainForm::Zmierozdzielczo1Click);

    Pomoc1 = MainMenu1->addMenu(QStringLiteral("Pomoc"));
    Pomoc1->setObjectName(QStringLiteral("Pomoc1"));
    Jakkorzystazprogramu1 =
        AddCommandItem(Pomoc1, QStringLiteral("Jak korzystać z programu?"), &TfmMainForm::Jakkorzystazprogramu1Click);
    Oprogramie1 = AddCommandItem(Pomoc1, QStringLiteral("O programie"), &TfmMainForm::Oprogramie1Click);

    const std::pair<QAction*, const char*> names[] = {
        {Uruchomprogramy1, "Uruchomprogramy1"},
        {Zrbzdjcie1, "Zrbzdjcie1"},
        {Uruchomalarm1, "Uruchomalarm1"},
        {Odtwrzplikdwikowy1, "Odtwrzplikdwikowy1"},
        {Wywietlinformacj1, "Wywietlinformacj1"},
        {Przecztrybpracykomputera1, "Przecztrybpracykomputera1"},
        {Dopiszdodziennika1, "Dopiszdodziennika1"},
        {Pokapowiadomienie1, "Pokapowiadomienie1"},
        {Opnieniepowczeniuwykrywania1, "Opnieniepowczeniuwykrywania1"},
        {Obszarybezwykrywania1, "Obszarybezwykrywania1"},
        {Ustawieniawykrywania1, "Ustawieniawykrywania1"},
        {Resetujpami1, "Resetujpami1"},
        {N1, "N1"},
        {Uruchamiajprzystarciesystemu1, "Uruchamiajprzystarciesystemu1"},
        {MinimalizujdoTraya1, "MinimalizujdoTraya1"},
        {N2, "N2"},
        {Pokadziennik1, "Pokadziennik1"},
        {Zapamitujostatniowybraneurzdzenie1, "Zapamitujostatniowybraneurzdzenie1"},
        {Zapamitajpozycjokna1, "Zapamitajpozycjokna1"},
        {N3, "N3"},
        {Zmierozdzielczo1, "Zmierozdzielczo1"},
        {Jakkorzystazprogramu1, "Jakkorzystazprogramu1"},
        {Oprogramie1, "Oprogramie1"},
    };
    for (const auto& [item, name] : names) item->setObjectName(QLatin1String(name));
}

namespace {

// The reaction items of "Gdy wykryjesz ruch" and the switch each one
// sets. A mark the user flips settles within the click; the marks the
// program sets are flipped and restored by the click itself (SetByProgram).
struct ReactionMark {
    QAction* TfmMainForm::*Item;
    std::atomic<bool> ReactionSwitches::*Switch;
    bool SetByProgram;
};

constexpr ReactionMark kReactionMarks[] = {
    {&TfmMainForm::Zrbzdjcie1, &ReactionSwitches::Photo, true},
    {&TfmMainForm::Uruchomalarm1, &ReactionSwitches::Alarm, false},
    {&TfmMainForm::Uruchomprogramy1, &ReactionSwitches::Programs, true},
    {&TfmMainForm::Odtwrzplikdwikowy1, &ReactionSwitches::Sound, true},
    {&TfmMainForm::Wywietlinformacj1, &ReactionSwitches::Information, true},
    {&TfmMainForm::Przecztrybpracykomputera1, &ReactionSwitches::Power, true},
    {&TfmMainForm::Dopiszdodziennika1, &ReactionSwitches::Log, false},
    {&TfmMainForm::Pokapowiadomienie1, &ReactionSwitches::Notification, false},
};

}  // namespace

// The frame thread reads the marks through Switches. A program-set
// mark's switch takes the mark as it stands once the click's events have
// run, never the passing flip.
void TfmMainForm::WireReactionSwitches()
{
    for (const ReactionMark& mark : kReactionMarks) {
        QAction* item = this->*mark.Item;
        const auto member = mark.Switch;
        if (mark.SetByProgram) {
            connect(
                item, &QAction::toggled, this, [this, item, member] { (Switches.*member).store(item->isChecked()); },
                Qt::QueuedConnection);
        } else {
            connect(item, &QAction::toggled, this, [this, member](bool checked) { (Switches.*member).store(checked); });
        }
    }
}

void TfmMainForm::SyncSwitchesWithMarks()
{
    for (const ReactionMark& mark : kReactionMarks) (Switches.*mark.Switch).store((this->*mark.Item)->isChecked());
}

}  // namespace qmd
