#include "QtDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QWidget>

namespace orvane {

namespace {
QString g_applicationTitle;

QString captionOr(const QString& title) { return title.isEmpty() ? applicationTitle() : title; }

// A filter whose patterns Qt can show: the label as the user reads it, and
// each pattern in every letter case, because Qt's dialog matches names by case
// on this platform while the patterns are meant without regard to it.
QString qtFilter(const FileFilter& filter) {
    QStringList variants;
    for (const QString& pattern : filter.patterns) {
        if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*")) {
            variants << QStringLiteral("*");
            continue;
        }
        variants << pattern.toLower() << pattern.toUpper();
        // Mixed cases such as "Report.Doc": take the first letter of the suffix in both cases.
        const int dot = pattern.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0 && dot + 1 < pattern.size()) {
            QString mixed = pattern.toLower();
            mixed[dot + 1] = mixed[dot + 1].toUpper();
            variants << mixed;
        }
    }
    variants.removeDuplicates();
    return filter.label + QStringLiteral(" (") + variants.join(QLatin1Char(' ')) + QLatin1Char(')');
}
}  // namespace

const QString& applicationTitle() { return g_applicationTitle; }
void setApplicationTitleText(const QString& title) { g_applicationTitle = title; }

QString displayText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QWidget* QtDialogs::visibleOwner() const {
    return (m_owner && m_owner->isVisible()) ? m_owner.data() : nullptr;
}

// Texts name files, and a file name may look like markup ("minutes <b>draft.docx"):
// every box and prompt shows its text as plain text and never guesses at HTML.
int QtDialogs::showBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                       QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, displayText(text), buttons, visibleOwner());
    box.setTextFormat(Qt::PlainText);
    return box.exec();
}

void QtDialogs::message(const QString& text, const QString& title) {
    showBox(QMessageBox::NoIcon, captionOr(title), text, QMessageBox::Ok);
}

bool QtDialogs::question(const QString& text, const QString& title) {
    return showBox(QMessageBox::NoIcon, captionOr(title), text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void QtDialogs::errorReport(const QString& text) {
    showBox(QMessageBox::Warning, QStringLiteral("Application Error"), text, QMessageBox::Ok);
}

QString QtDialogs::textPrompt(const QString& prompt, const QString& title, const QString& defaultText) {
    QInputDialog dialog(visibleOwner());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(captionOr(title));
    dialog.setLabelText(displayText(prompt));
    dialog.setTextValue(defaultText);
    for (QLabel* label : dialog.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.textValue();
}

QStringList QtDialogs::openFiles(const OpenFilesRequest& request) {
    QFileDialog dialog(visibleOwner(), request.title);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The patterns in every letter case would crowd the filter box: show the labels only.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    QStringList filters;
    for (const FileFilter& filter : request.filters) filters << qtFilter(filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) dialog.selectNameFilter(filters.first());
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

QString QtDialogs::chooseFolder(const QString& prompt, const QString& initialFolder) {
    QFileDialog dialog(visibleOwner(), prompt);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (!initialFolder.isEmpty() && QFileInfo(initialFolder).isDir()) dialog.setDirectory(initialFolder);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    // The root keeps its separator; every other folder comes without a trailing one.
    return QDir::cleanPath(chosen.first());
}

}  // namespace orvane
