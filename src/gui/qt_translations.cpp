#include "gui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcTranslations, "qmd.gui.translations")

namespace qmd {

void InstallPolishQtTranslations(QCoreApplication& application)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // "qt_pl" gathers the translations of every Qt module we use.
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::Polish, QLocale::Poland), QStringLiteral("qt"), QStringLiteral("_"),
                          folder)) {
        qCWarning(lcTranslations,
                  "Qt's Polish translations are not in %s (qt6-translations-l10n): Qt's buttons and "
                  "choosers stay in English",
                  qPrintable(folder));
        delete translator;
        return;
    }
    QCoreApplication::installTranslator(translator);
}

}  // namespace qmd
