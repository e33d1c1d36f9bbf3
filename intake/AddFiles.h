// "Add Word File(s)": the open-file dialog with multiple selection; every
// picked file becomes a row, in the order the dialog returns them.
#pragma once

#include <QStringList>

namespace orvane {

class Dialogs;
class FileList;

// The handler's body, with its own error trap.
void PushButton1_Click(FileList& list, Dialogs& dialogs);

// The selection as the classic dialog returned it (one path, or the folder and
// the names separated by NULs, ended by two NULs) must fit this many characters.
constexpr int MaxSelectionCharacters = 30000;

// The characters that selection takes in that form.
int selectionLength(const QStringList& paths);

extern const QString AddFilesTitle;
extern const QString TooManyFilesMessage;

}  // namespace orvane
