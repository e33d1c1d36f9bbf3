#include "Samples.h"

#include <QUrl>

#include "Dialogs.h"
#include "ErrorReport.h"
#include "FileList.h"
#include "FolderScan.h"
#include "Paths.h"
#include "Platform.h"

namespace orvane {

const QString OpenSampleFolderQuestion = QStringLiteral(
    "Would you like this software to open the folder where these sample files are stored (so that you can view them "
    "before working with them)?");

QString sampleFolder(const QString& programFolder) { return programFolder + QStringLiteral("/Samples"); }

bool ContainsPath(const FileList& list, const QString& path) {
    bool found = false;
    const int count = list.FileCount();
    for (int row = 1; row <= count; ++row)
        if (list.FilePathAt(row) == path) found = true;
    return found;
}

void LoadSampleFiles(FileList& list, const FolderScan& scan, Dialogs& dialogs, const Platform& platform) {
    const QString folder = sampleFolder(platform.programFolder);
    // A missing folder gives no names; the question is asked all the same.
    const QStringList names = scan.GetFiles(folder, QStringLiteral("*.*"));
    for (const QString& name : names) {
        // Added as formed, not normalised: the program folder is a clean path.
        const QString path = folder + QLatin1Char('/') + name;
        if (PathExists(path) && !ContainsPath(list, path)) list.AddFile(path);
    }
    if (dialogs.question(OpenSampleFolderQuestion, applicationTitle()))
        platform.openUrl(QUrl::fromLocalFile(folder + QLatin1Char('/')));  // never waited for, never checked
}

void PushButton9_Click(FileList& list, const FolderScan& scan, Dialogs& dialogs, const Platform& platform) {
    ErrorTrap trap(dialogs, LocationTag::PushButton9Click);
    trap.line(100, [&] { LoadSampleFiles(list, scan, dialogs, platform); });
}

}  // namespace orvane
