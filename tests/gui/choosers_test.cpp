// The file and folder choosers: Qt's texts in Polish, and where they open
// (the folder in use, the one chosen last, Pictures or home; never the root,
// where a program started from the desktop finds itself).
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

#include "gui/browse_for_folder.h"
#include "gui/open_file_dialog.h"
#include "gui/qt_translations.h"
#include "support/temp_dir.h"

namespace qmd {
namespace {

// Runs `chooser` and answers the chooser it opens: the folder it opened in
// is returned; `answer` gets the dialog to accept or reject it.
template <typename Chooser, typename Answer>
QString OpenedFolder(Chooser&& chooser, Answer&& answer)
{
    QString opened;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        opened = QDir::cleanPath(dialog->directory().absolutePath());
        answer(*dialog);
    });
    chooser();
    return opened;
}

void Reject(QFileDialog& dialog) { dialog.reject(); }

TEST(Choosers, QtsOwnButtonsSpeakPolish)
{
    InstallPolishQtTranslations(*QCoreApplication::instance());
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "Anuluj");
}

TEST(Choosers, OpenInTheFolderInUseTheOneChosenLastOrTheUsersOwn)
{
    test::TempDir home;
    const QByteArray previousHome = qgetenv("HOME");
    const QByteArray previousConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QByteArray::fromStdString(home.Path().string()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.File(".config")));
    const QString homePath = QString::fromStdString(home.Path().string());
    const QString pictures = homePath + "/Pictures";
    const QString photos = homePath + "/zdjecia";
    std::filesystem::create_directories(home.File("zdjecia"));

    // Without a Pictures folder: home; the sound chooser always starts there.
    EXPECT_EQ(OpenedFolder([] { BrowseForFolder(nullptr, "?"); }, Reject), homePath);
    OpenFileDialog sound(QStringLiteral("Dźwięk typu WAVE|*.wav"));
    EXPECT_EQ(OpenedFolder([&] { sound.Execute(nullptr); }, Reject), homePath);

    std::filesystem::create_directories(home.File("Pictures"));
    EXPECT_EQ(OpenedFolder([] { BrowseForFolder(nullptr, "?"); }, Reject), pictures);
    // The folder in use wins; one that is gone does not count.
    EXPECT_EQ(OpenedFolder([&] { BrowseForFolder(nullptr, "?", photos); }, Reject), photos);
    EXPECT_EQ(OpenedFolder([&] { BrowseForFolder(nullptr, "?", photos + "/gone"); }, Reject), pictures);

    // Chosen once, it is where the next chooser opens, even when the stored
    // folder was emptied by a cancel since.
    QString chosen;
    OpenedFolder([&] { chosen = BrowseForFolder(nullptr, "?", photos); },
                 [](QFileDialog& dialog) { static_cast<QDialog&>(dialog).accept(); });
    EXPECT_EQ(chosen, photos);
    EXPECT_EQ(OpenedFolder([] { BrowseForFolder(nullptr, "?"); }, Reject), photos);

    // A confirmed sound file: its folder.
    sound.SetFileName(photos + "/alarm.wav");
    EXPECT_EQ(OpenedFolder([&] { sound.Execute(nullptr); }, Reject), photos);

    qputenv("HOME", previousHome);
    if (previousConfig.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", previousConfig);
}

}  // namespace
}  // namespace qmd
