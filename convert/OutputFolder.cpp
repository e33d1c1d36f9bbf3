#include "OutputFolder.h"

#include <QDir>
#include <QLineEdit>

#include "Dialogs.h"
#include "ErrorReport.h"
#include "FolderPicker.h"
#include "Paths.h"
#include "Settings.h"

namespace orvane {

OutputFolder::OutputFolder(QLineEdit* text, Dialogs& dialogs, std::function<QString()> desktopFolder)
    : m_text(text), m_dialogs(dialogs), m_desktopFolder(std::move(desktopFolder)) {}

void OutputFolder::Text1_Change() {
    try {
        SettingsStore::write(SettingKey::OutputFolder, m_text->text());
        m_storeFailureShown = false;
    } catch (const Failure& failure) {
        // The box still holds the folder and a run uses it; the user only has to
        // know that the next start will not show it. Said once, not per keystroke.
        if (m_storeFailureShown) return;
        m_storeFailureShown = true;
        m_dialogs.message(failure.description() +
                          QStringLiteral("\r\n\r\nThe output folder is used for now, but it will not be remembered "
                                         "when Orvane starts again."));
    }
}

void OutputFolder::PushButton3_Click() {
    ErrorTrap trap(m_dialogs, LocationTag::PushButton3Click);
    QString chosen;
    trap.line(100, [&] {
        const QString last = SettingsStore::read(SettingKey::LastFolderDot, QString());
        chosen = BrowseForFolder(m_dialogs, SelectFolderPrompt, last);
    });
    trap.reach(102);
    if (chosen.isEmpty()) return;
    trap.line(104, [&] { SettingsStore::write(SettingKey::LastFolderDot, chosen); });
    if (!chosen.endsWith(QLatin1Char('/')))
        trap.line(106, [&] { m_text->setText(chosen + QLatin1Char('/')); });
    else
        trap.line(108, [&] { m_text->setText(chosen); });
}

void OutputFolder::restore() {
    m_text->setText(SettingsStore::read(SettingKey::OutputFolder, DefaultOutputFolder()));
}

QString OutputFolder::DefaultOutputFolder() const {
    const QString desktop = m_desktopFolder ? m_desktopFolder() : QString();
    if (!desktop.isEmpty() && FolderExists(desktop))
        return desktop.endsWith(QLatin1Char('/')) ? desktop : desktop + QLatin1Char('/');
    const QString home = QDir::homePath();
    return home.endsWith(QLatin1Char('/')) ? home : home + QLatin1Char('/');
}

}  // namespace orvane
