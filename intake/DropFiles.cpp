#include "DropFiles.h"

#include <QMimeData>
#include <QUrl>

#include "ErrorReport.h"
#include "FileList.h"
#include "FolderScan.h"

namespace orvane {

bool carriesLocalFiles(const QMimeData* data) { return !droppedPaths(data).isEmpty(); }

QStringList droppedPaths(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    QStringList paths;
    for (const QUrl& url : data->urls()) {
        // One address that is not a local file refuses the whole drag: the list
        // holds paths this machine can open, and half a drop would surprise.
        if (!url.isLocalFile() || url.toLocalFile().isEmpty()) return {};
        paths << url.toLocalFile();
    }
    return paths;
}

void addDroppedPaths(FileList& list, FolderScan& scan, const QStringList& paths) {
    const auto plainly = [](int, const std::function<void()>& work) { work(); };
    for (const QString& path : paths) {
        try {
            const std::optional<unsigned> word = scan.attributesOf(path);
            const bool isFolder = word && (*word & Attribute::Directory);
            if (!isFolder) {
                // A dropped file is taken as it is, with no test at all.
                list.AddFile(path);
                continue;
            }
            QStringList queue{path + QLatin1Char('/')};
            scan.GetSubDirectories2016(queue, true);
            gatherFiles(scan, queue, QStringLiteral("*.*"), [&](const QString& file) { list.AddFile(file); }, plainly);
        } catch (const ProgramEnded&) {
            throw;
        } catch (...) {
            // The handler has no report of its own: an item that went away
            // between drag and drop, or cannot be read, is passed over.
        }
    }
}

void ListView1_OLEDragDrop(FileList& list, FolderScan& scan, const QMimeData* data) {
    addDroppedPaths(list, scan, droppedPaths(data));
}

}  // namespace orvane
