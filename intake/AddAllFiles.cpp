#include "AddAllFiles.h"

#include "Dialogs.h"
#include "ErrorReport.h"
#include "FileList.h"
#include "FolderPicker.h"
#include "FolderScan.h"
#include "MousePointer.h"
#include "Settings.h"

namespace orvane {

const QString ExtensionPrompt = QStringLiteral(
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc files, etc.)");
const QString DefaultExtension = QStringLiteral("doc");

void PushButton4_Click(FileList& list, Dialogs& dialogs, MousePointer& pointer, FolderScan& scan) {
    ErrorTrap trap(dialogs, LocationTag::PushButton4Click);

    // The answer is used exactly as typed: no trimming, no check. It is saved at
    // once, so it stays the default even when the folder dialog is cancelled.
    QString extension;
    trap.line(100, [&] {
        extension = dialogs.textPrompt(ExtensionPrompt, applicationTitle(),
                                       SettingsStore::read(SettingKey::Extension, DefaultExtension));
        if (!extension.isEmpty()) SettingsStore::write(SettingKey::Extension, extension);
    });
    trap.reach(102);
    if (extension.isEmpty()) return;

    QString folder;
    trap.line(104, [&] {
        folder = BrowseForFolder(dialogs, SelectFolderPrompt, SettingsStore::read(SettingKey::LastFolder, QString()));
    });
    trap.reach(106);
    if (folder.isEmpty()) return;

    QString remembered;
    trap.line(333, [&] { remembered = folder; });
    trap.line(334, [&] { SettingsStore::write(SettingKey::LastFolder, remembered); });

    trap.line(112, [&] { pointer.set(MousePointer::Hourglass); });

    // One "/" is added even to the root folder's "/": the rows are normalised
    // when they are added, so the doubled separator never reaches the list.
    QStringList queue;
    trap.line(114, [&] { queue = QStringList{folder + QLatin1Char('/')}; });
    trap.line(116, [&] { scan.GetSubDirectories2016(queue, true); });

    trap.reach(118);
    // The rows of a large tree are added without yielding: the walk above is
    // where the window stays alive.
    gatherFiles(
        scan, queue, QStringLiteral("*.") + extension, [&](const QString& path) { list.AddFile(path); },
        [&](int line, const std::function<void()>& work) { trap.line(line, work); });
    trap.reach(134);

    trap.line(136, [&] { pointer.set(MousePointer::Default); });
}

}  // namespace orvane
