// The pieces of start-up that belong to the application shell.
#pragma once

#include <QCursor>
#include <QString>
#include <optional>

class QWidget;

namespace orvane {

struct Platform;

// The product name: the window caption and the source of the application title.
inline const QString ProductName = QStringLiteral("Orvane");

// The title of every message box: the product name with words dropped from its
// end until at most 40 characters remain. A name without a blank keeps its
// whole name (cut to 40 characters should it be longer).
QString applicationTitleFor(const QString& productName);
void SetApplicationTitle();

// Applies the skin file <program folder>/x/o.cjs (a Qt style sheet) to the
// window when it exists as a plain, visible file; does nothing otherwise.
// `plainControls` are the controls that take the window's colour with it.
void ApplySkin(QWidget* window, const QList<QWidget*>& plainControls, const QString& programFolder);

// Loads a pointer image (.CUR or .ico); throws Failure when it cannot be read.
QCursor loadPointerImage(const QString& path);

// One start in a hundred opens the maker's home page.
void VisitHomePage(const Platform& platform);

QString skinFilePath(const QString& programFolder);
QString handPointerPath(const QString& programFolder);

}  // namespace orvane
