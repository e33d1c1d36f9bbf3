// "Load Sample/Example Files": the documents in the Samples folder beside the
// program become rows, unless a row already holds them, and the user is offered
// a look at the folder.
#pragma once

#include <QString>

namespace orvane {

class Dialogs;
class FileList;
class FolderScan;
struct Platform;

// The program folder followed by "/Samples".
QString sampleFolder(const QString& programFolder);

// True when some row's text equals the path exactly, letter case included.
bool ContainsPath(const FileList& list, const QString& path);

// Adds every sample file that exists and is not listed yet, in listing order,
// then asks whether to open the sample folder and opens it on Yes.
void LoadSampleFiles(FileList& list, const FolderScan& scan, Dialogs& dialogs, const Platform& platform);

// The handler's body, with its own error trap.
void PushButton9_Click(FileList& list, const FolderScan& scan, Dialogs& dialogs, const Platform& platform);

extern const QString OpenSampleFolderQuestion;

}  // namespace orvane
