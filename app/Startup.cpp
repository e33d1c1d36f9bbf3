#include "Startup.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPalette>
#include <QPixmap>
#include <QWidget>
#include <cmath>

#include "Dialogs.h"
#include "ErrorReport.h"
#include "Platform.h"

namespace orvane {

QString applicationTitleFor(const QString& productName) {
    QString title = productName;
    if (!title.contains(QLatin1Char(' '))) return title.left(40);
    // The test comes after the cut, so at least one word always goes.
    while (true) {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0) return title.left(40);
        title = title.left(blank);
        if (title.size() <= 40) return title;
    }
}

void SetApplicationTitle() { setApplicationTitleText(applicationTitleFor(ProductName)); }

QString skinFilePath(const QString& programFolder) { return programFolder + QStringLiteral("/x/o.cjs"); }
QString handPointerPath(const QString& programFolder) { return programFolder + QStringLiteral("/HAND-M.CUR"); }

void ApplySkin(QWidget* window, const QList<QWidget*>& plainControls, const QString& programFolder) {
    const QString path = skinFilePath(programFolder);
    const QFileInfo info(path);
    // Only a plain file counts: hidden files and folders of that name are passed over.
    if (!info.exists() || !info.isFile() || info.isHidden()) return;

    const QColor buttonFace = window->palette().color(QPalette::Button);
    auto paint = [&](QWidget* widget) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, buttonFace);
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    };
    paint(window);
    for (QWidget* control : plainControls) paint(control);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Failure(QStringLiteral("Cannot read the skin file %1: %2").arg(path, file.errorString()));
    window->setStyleSheet(QString::fromUtf8(file.readAll()));
}

QCursor loadPointerImage(const QString& path) {
    QImageReader reader(path);
    // Pointer files are icon files; their suffix says which of the two kinds.
    reader.setFormat(QFileInfo(path).suffix().toLower().toLatin1());
    QImage image = reader.read();
    if (image.isNull()) {
        reader.setFormat(QByteArray());
        reader.setFileName(path);
        image = reader.read();
    }
    if (image.isNull())
        throw Failure(QStringLiteral("Cannot load the pointer image %1: %2").arg(path, reader.errorString()));
    // A cursor file keeps its hot spot in its first directory entry; an icon has none.
    int hotX = 0, hotY = 0;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray head = file.read(14);
        auto word = [&](int at) { return int(quint8(head[at])) | (int(quint8(head[at + 1])) << 8); };
        if (head.size() == 14 && word(0) == 0 && word(2) == 2) {
            hotX = qBound(0, word(10), image.width() - 1);
            hotY = qBound(0, word(12), image.height() - 1);
        }
    }
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

void VisitHomePage(const Platform& platform) {
    const double r = platform.random ? platform.random() : 0.5;
    const int draw = int(std::floor(r * 100)) + 1;
    if (draw != 7) return;
    if (!platform.openUrl || !platform.openUrl(QUrl(HomePageAddress)))
        throw Failure(QStringLiteral("Cannot open %1: no web browser could be started.").arg(HomePageAddress));
}

}  // namespace orvane
