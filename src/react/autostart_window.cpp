#include "react/autostart_window.h"

#include <QAction>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>

#include <filesystem>

#include "base/app_dir.h"
#include "common/quisk_error.h"
#include "gui/error_report.h"
#include "gui/window_fonts.h"
#include "react/core/start_list_file.h"

namespace qmd {

TfmAutostart* fmAutostart = nullptr;

namespace {
// The list shows at most this much of an entry; the entry itself is kept whole.
constexpr qsizetype kShownEntryLength = 1024;
constexpr int kEntryRole = Qt::UserRole;

QPushButton* MakeButton(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(geometry);
    // Enter and Escape have no window-wide meaning here.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}
}  // namespace

TfmAutostart::TfmAutostart(QAction* mark, QWidget* parent) : PlainDialog(parent), mark_(mark)
{
    setObjectName(QStringLiteral("fmAutostart"));
    setWindowTitle(QStringLiteral("Lista programów uruchamianych po wykryciu ruchu"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont());
    setFixedSize(441, 129);
    move(391, 273);

    StartList = new QListWidget(this);
    StartList->setObjectName(QStringLiteral("StartList"));
    StartList->setGeometry(8, 8, 329, 113);
    StartList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    StartList->setSortingEnabled(false);
    StartList->setUniformItemSizes(true);

    Button1 = MakeButton(this, QStringLiteral("Dodaj program"), QRect(344, 8, 89, 25));
    Button2 = MakeButton(this, QStringLiteral("Usuń program"), QRect(344, 40, 89, 25));
    Button3 = MakeButton(this, QStringLiteral("OK"), QRect(344, 96, 89, 25));
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3->setObjectName(QStringLiteral("Button3"));
    setTabOrder(Button1, StartList);
    setTabOrder(StartList, Button2);
    setTabOrder(Button2, Button3);

    connect(Button1, &QPushButton::clicked, this, &TfmAutostart::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfmAutostart::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TfmAutostart::Button3Click);

    FormCreate();
}

std::string TfmAutostart::ListPath() const { return AppFile(std::string(kStartListFileName)); }

void TfmAutostart::FormCreate()
{
    const std::string path = ListPath();
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored)) {
        try {
            SetEntries(LoadStartList(path));
        } catch (const std::exception& error) {
            ReportApplicationError(this, error);
        }
    }
    UpdateMark();
}

std::vector<std::string> TfmAutostart::Entries() const
{
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(StartList->count()));
    for (int i = 0; i < StartList->count(); ++i) {
        const QByteArray bytes = StartList->item(i)->data(kEntryRole).toByteArray();
        entries.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return entries;
}

// The item keeps the entry's bytes as they were, so an entry that is not valid
// UTF-8 goes back to the file unchanged.
void TfmAutostart::SetEntries(const std::vector<std::string>& entries)
{
    StartList->clear();
    for (const auto& entry : entries) {
        auto* item = new QListWidgetItem(QString::fromUtf8(
            entry.data(), static_cast<qsizetype>(std::min<std::size_t>(entry.size(), kShownEntryLength))));
        item->setData(kEntryRole, QByteArray(entry.data(), static_cast<qsizetype>(entry.size())));
        StartList->addItem(item);
    }
    if (StartList->count() > 0)
        StartList->selectionModel()->setCurrentIndex(StartList->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    PublishEntries();
}

void TfmAutostart::PublishEntries() { programs_.Assign(Entries()); }

void TfmAutostart::UpdateMark()
{
    if (mark_) mark_->setChecked(StartList->count() > 0);
}

void TfmAutostart::Button1Click()
{
    if (!OpenProgram.Execute(this)) return;
    const QByteArray bytes = OpenProgram.FileName().toUtf8();
    auto* item = new QListWidgetItem(OpenProgram.FileName().left(kShownEntryLength));
    item->setData(kEntryRole, bytes);
    StartList->addItem(item);
    if (StartList->count() == 1)
        StartList->selectionModel()->setCurrentIndex(StartList->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    PublishEntries();
}

void TfmAutostart::Button2Click()
{
    const int row = StartList->currentRow();
    if (row < 0 || row >= StartList->count()) return;
    delete StartList->takeItem(row);
    PublishEntries();
}

void TfmAutostart::Button3Click()
{
    try {
        SaveStartList(ListPath(), Entries());
    } catch (const std::exception& error) {
        ReportApplicationError(this, error);
        return;
    }
    UpdateMark();
    accept();
}

}  // namespace qmd
