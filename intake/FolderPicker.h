// The folder dialog shared by the output folder's "..." button and "Add All
// Word Files In Folder".
#pragma once

#include <QString>

namespace orvane {

class Dialogs;

// Shows the folder dialog with the prompt, the initial folder selected when it
// exists; returns the chosen folder (the root as "/", any other folder without
// a trailing separator) or the empty text when nothing was chosen.
QString BrowseForFolder(Dialogs& dialogs, const QString& prompt, const QString& initialFolder);

extern const QString SelectFolderPrompt;

}  // namespace orvane
