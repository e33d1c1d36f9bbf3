// "Add All Word Files In Folder": asks for an extension and a folder, walks the
// folder and every folder below it, and adds each matching file as a row. The
// extension and the folder are remembered as the next time's defaults.
#pragma once

#include <QString>

namespace orvane {

class Dialogs;
class FileList;
class FolderScan;
class MousePointer;

// The handler's body, with its own error trap. `pointer` is the main window's:
// it shows the hourglass from the start of the walk until the last row is added.
void PushButton4_Click(FileList& list, Dialogs& dialogs, MousePointer& pointer, FolderScan& scan);

extern const QString ExtensionPrompt;
extern const QString DefaultExtension;

}  // namespace orvane
