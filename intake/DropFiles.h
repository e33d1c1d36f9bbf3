// Files and folders dropped on the list from the desktop's file manager. A
// dropped file becomes one row as it is; a dropped folder gives every file in
// it and in all folders below it. A drag that does not carry a list of local
// files and folders (text, a web address, a file on a remote share) is refused.
#pragma once

#include <QStringList>

class QMimeData;

namespace orvane {

class FileList;
class FolderScan;

// True when the drag carries a list of local files and folders, and nothing else.
bool carriesLocalFiles(const QMimeData* data);

// The dropped paths, in the order the drag gives them; empty for a refused drag.
QStringList droppedPaths(const QMimeData* data);

// Adds the rows for the dropped paths, in their order. An item that cannot be
// examined is skipped; nothing is shown.
void addDroppedPaths(FileList& list, FolderScan& scan, const QStringList& paths);

// The drop handler of the list.
void ListView1_OLEDragDrop(FileList& list, FolderScan& scan, const QMimeData* data);

}  // namespace orvane
