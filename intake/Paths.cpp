#include "Paths.h"

#include <QFileInfo>
#include <sys/stat.h>

namespace orvane {

namespace {
QString collapsePairs(const QString& text, QChar sep) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out.append(text[i]);
        if (text[i] == sep && i + 1 < text.size() && text[i + 1] == sep) ++i;  // the pair's second half goes
    }
    return out;
}
}  // namespace

QString NormalizePath(const QString& path, PathStyle style) {
    const QChar sep = separatorOf(style);
    if (path.isEmpty() || path[0] != sep) return collapsePairs(path, sep);
    qsizetype rest = 0;
    while (rest < path.size() && path[rest] == sep) ++rest;
    const QString lead = style == PathStyle::Posix ? QString(sep) : QString(2, sep);
    return lead + collapsePairs(path.mid(rest), sep);
}

QString joinPath(const QString& folder, const QString& name, PathStyle style) {
    return NormalizePath(folder + separatorOf(style) + name, style);
}

QString FileNameOf(const QString& path, PathStyle style) {
    const qsizetype at = path.lastIndexOf(separatorOf(style));
    return at < 0 ? path : path.mid(at + 1);
}

QString ExtensionOf(const QString& text) {
    const qsizetype at = text.lastIndexOf(QLatin1Char('.'));
    return at < 0 ? text : text.mid(at + 1);
}

bool FolderExists(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PathExists(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

}  // namespace orvane
