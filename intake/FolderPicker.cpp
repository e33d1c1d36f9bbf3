#include "FolderPicker.h"

#include <QFileInfo>

#include "Dialogs.h"

namespace orvane {

const QString SelectFolderPrompt = QStringLiteral("Please select folder:");

QString BrowseForFolder(Dialogs& dialogs, const QString& prompt, const QString& initialFolder) {
    const QString chosen = dialogs.chooseFolder(prompt, initialFolder);
    if (chosen.isEmpty()) return {};
    // Only real folders can be confirmed: a choice without a file-system folder
    // behind it counts as nothing chosen.
    if (!QFileInfo(chosen).isDir()) return {};
    if (chosen.size() > 1 && chosen.endsWith(QLatin1Char('/'))) return chosen.left(chosen.size() - 1);
    return chosen;
}

}  // namespace orvane
