// kalvora-render-icons <directory>: writes the desktop's icons of the program into <directory> as a hicolor theme
// tree (<n>x<n>/apps/<id>.png for each size and scalable/apps/<id>.svg), drawn by the program's own icon code.
// `make icons` runs it over packaging/icons; the committed icons are checked against the drawing by a test.

#include "window/qt/Icons.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include <cstdio>

namespace {

constexpr int kSizes[] = {32, 48, 64, 128, 256};

bool WriteIcons(const QString& strRoot) {
    const QString strName = QStringLiteral(KALVORA_APP_ID);
    for (int nSize : kSizes) {
        const QString strDirectory = QStringLiteral("%1/%2x%2/apps").arg(strRoot).arg(nSize);
        if (!QDir().mkpath(strDirectory) || !AppIconImage(nSize).save(strDirectory + "/" + strName + ".png", "PNG"))
            return false;
    }
    const QString strScalable = strRoot + QStringLiteral("/scalable/apps");
    QFile svg(strScalable + "/" + strName + ".svg");
    return QDir().mkpath(strScalable) && svg.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           svg.write(AppIconSvg().toUtf8()) >= 0 && svg.flush();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: kalvora-render-icons <directory>\n", stderr);
        return 2;
    }
    if (!WriteIcons(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "kalvora-render-icons: cannot write the icons under %s\n", argv[1]);
        return 1;
    }
    return 0;
}
