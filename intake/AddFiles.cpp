#include "AddFiles.h"

#include <QFileInfo>

#include "Dialogs.h"
#include "ErrorReport.h"
#include "FileList.h"
#include "Paths.h"

namespace orvane {

const QString AddFilesTitle = QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
const QString TooManyFilesMessage =
    QStringLiteral("You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.");

int selectionLength(const QStringList& paths) {
    if (paths.isEmpty()) return 0;
    if (paths.size() == 1) return int(paths.first().size()) + 2;
    int length = int(QFileInfo(paths.first()).path().size()) + 1;
    for (const QString& path : paths) length += int(QFileInfo(path).fileName().size()) + 1;
    return length + 1;
}

void PushButton1_Click(FileList& list, Dialogs& dialogs) {
    ErrorTrap trap(dialogs, LocationTag::PushButton1Click);
    OpenFilesRequest request;
    QStringList picked;
    trap.line(104, [&] { picked.clear(); });
    trap.reach(106);  // multiple selection, long names: what the request below asks for
    trap.line(108, [&] { request.title = AddFilesTitle; });
    trap.line(110, [&] {
        request.filters = {{QStringLiteral("Word Documents (*.do*)"), {QStringLiteral("*.do*")}},
                           {QStringLiteral("All Files (*.*)"), {QStringLiteral("*.*")}}};
    });
    bool tooMany = false;
    trap.line(112, [&] {
        picked = dialogs.openFiles(request);
        tooMany = selectionLength(picked) > MaxSelectionCharacters;
    });
    if (tooMany) {
        // Nothing is added, not even the names that would have fitted.
        dialogs.message(TooManyFilesMessage);
        return;
    }
    trap.reach(114);
    if (picked.isEmpty()) return;
    trap.reach(116);
    trap.reach(118);
    if (picked.size() == 1) {
        QString path;
        trap.line(120, [&] { path = picked.first(); });
        trap.line(122, [&] { list.AddFile(path); });
        return;
    }
    trap.reach(134);
    for (const QString& picked1 : picked) {
        QString path;
        trap.line(136, [&] { path = picked1; });
        trap.line(138, [&] { path = NormalizePath(path); });
        trap.line(140, [&] { list.AddFile(path); });
        trap.reach(142);
    }
}

}  // namespace orvane
