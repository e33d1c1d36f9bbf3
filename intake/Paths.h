// Path rules shared by the intake and the conversion run. They are written for
// a separator style, so the rules of the separator-joined original stay
// testable; the program itself uses PathStyle::Posix.
#pragma once

#include <QString>

namespace orvane {

enum class PathStyle {
    Posix,    // "/" separates; a leading "/" marks an absolute path and stays single
    Windows,  // "\" separates; a leading "\\" marks a network path and stays double
};

inline QChar separatorOf(PathStyle style) { return style == PathStyle::Posix ? QLatin1Char('/') : QLatin1Char('\\'); }

// Collapses doubled separators in one pass from left to right (a run of two or
// three becomes one or two, a run of four becomes two). A path that begins with
// the separator keeps exactly one at its front in the Posix style and exactly
// two (a network path) in the Windows style.
QString NormalizePath(const QString& path, PathStyle style = PathStyle::Posix);

// A folder, one separator and a name, joined even when the folder already ends
// in a separator, then normalised.
QString joinPath(const QString& folder, const QString& name, PathStyle style = PathStyle::Posix);

// The text after the last separator; the whole text when it holds none.
QString FileNameOf(const QString& path, PathStyle style = PathStyle::Posix);

// The text after the last dot; the whole text when it holds none.
QString ExtensionOf(const QString& text);

// True when the path names an existing folder; false for anything else, never throws.
bool FolderExists(const QString& path);

// True when the file's last-modified time can be read; false otherwise, never throws.
bool PathExists(const QString& path);

}  // namespace orvane
