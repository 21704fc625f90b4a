// Writes the application icon as <dir>/<N>x<N>/apps/quisk-motion-detector.png
// for the hicolor icon theme.
#include "shell/desktop/application_icon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ICON_THEME_DIR\n", argv[0]);
        return 2;
    }
    const QDir theme(QString::fromLocal8Bit(argv[1]));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = theme.filePath(QStringLiteral("%1x%1/apps").arg(size));
        if (!QDir().mkpath(dir) ||
            !qmd::RenderApplicationIcon(size).save(dir + QStringLiteral("/quisk-motion-detector.png"))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
