#include "react/tryb_pracy_window.h"

#include <QAction>
#include <QButtonGroup>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "base/settings_file.h"
#include "gui/error_report.h"
#include "gui/window_fonts.h"
#include "gui/window_placement.h"
#include "react/core/power_manager.h"

namespace qmd {

TfmTrybPracy* fmTrybPracy = nullptr;

namespace {
const char* const kItems[] = {"Nie rób nic", "Stan uśpienia", "Hibernuj", "Wyloguj", "Wyłącz", "Uruchom ponownie"};
constexpr int kLastIndex = 5;
}  // namespace

TfmTrybPracy::TfmTrybPracy(QAction* mark, QWidget* parent) : PlainDialog(parent), mark_(mark)
{
    setObjectName(QStringLiteral("fmTrybPracy"));
    setWindowTitle(QStringLiteral("Przełącz tryb pracy komputera"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont());
    setFixedSize(301, 199);

    tryb = new QGroupBox(QStringLiteral("Po wykryciu ruchu przełącz tryb pracy komputera"), this);
    tryb->setObjectName(QStringLiteral("tryb"));
    tryb->setGeometry(16, 8, 273, 153);
    trybButtons = new QButtonGroup(this);
    auto* column = new QVBoxLayout(tryb);
    for (int i = 0; i <= kLastIndex; ++i) {
        auto* button = new QRadioButton(QString::fromUtf8(kItems[i]), tryb);
        trybButtons->addButton(button, i);
        column->addWidget(button);
    }
    connect(trybButtons, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) liveIndex_ = id;
    });

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(112, 168, 89, 25);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TfmTrybPracy::Button1Click);
    setTabOrder(Button1, trybButtons->button(0));

    FormCreate();
}

int TfmTrybPracy::BoundIndex(int stored) { return StoredPowerIndex(stored); }

void TfmTrybPracy::SetItemIndex(int index)
{
    index = BoundIndex(index);
    if (index < 0) {
        // A radio group shows "nothing chosen" only while it is not exclusive.
        trybButtons->setExclusive(false);
        for (QAbstractButton* button : trybButtons->buttons()) button->setChecked(false);
        trybButtons->setExclusive(true);
    } else {
        trybButtons->button(index)->setChecked(true);
    }
    liveIndex_ = index;
}

void TfmTrybPracy::FormCreate()
{
    const SettingsFile settings(SettingsFilePath());
    SetItemIndex(settings.Read(keys::PowerAction));
}

void TfmTrybPracy::Button1Click()
{
    const int index = liveIndex_.load();
    try {
        SettingsFile settings(SettingsFilePath());
        settings.Write(keys::PowerAction, index);
    } catch (const std::exception& error) {
        ReportApplicationError(this, error);
        return;
    }
    if (mark_) mark_->setChecked(IsPowerAction(index));
    accept();
}

void TfmTrybPracy::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) CentreOverMainWindow(this);
    QDialog::showEvent(event);
}

}  // namespace qmd
