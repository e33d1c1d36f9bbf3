// "Start Converting To RTF": converts every listed file, first row to last,
// each through a document engine instance of its own, with progress on the
// bar; and the checks that an engine can be started and is not already open.
#pragma once

#include <QString>
#include <chrono>
#include <functional>

#include "Paths.h"

class QLineEdit;

namespace orvane {

class Dialogs;
class FileList;
class MousePointer;
class ProgressBar;
struct Platform;

// The output path for an input: the folder text, one separator, the input's
// name without every ".ext" of its own extension, normalised, and ".rtf".
QString OutputPathFor(const QString& folderText, const QString& inputPath, PathStyle style = PathStyle::Posix);

// "name.rtf" when that file is not taken, else "name (2).rtf", "name (3).rtf",
// ...: the first that is not. The run counts as taken every file it wrote and
// every file listed for it.
QString firstFreeOutputPath(const QString& outputPath, const std::function<bool(const QString&)>& taken);

// What the run works with: the window's controls and the desktop.
struct RunControls {
    FileList& files;
    QLineEdit* outputFolder;
    ProgressBar* progress;
    MousePointer& pointer;
    Dialogs& dialogs;
    const Platform& platform;
};

class ConversionRun {
public:
    explicit ConversionRun(RunControls controls) : m_c(controls) {}

    void PushButton2_Click();

    // At start-up: proves that an engine can be started; shows the advice and ends
    // the program when it cannot.
    void CheckWordInstalled();

    // True when a running engine instance answers "Microsoft Word".
    bool IsWordRunning();

    // Asks whether to go on when an engine instance is running: true means stop.
    bool StopForOpenWord();

    // Converts one document through an engine instance of its own.
    void DoItByFile(const QString& inputPath, const QString& outputPath);

    bool converting() const { return m_converting; }

    // How long one call of the engine may take before it is stopped.
    void setCallTimeout(std::chrono::milliseconds timeout) { m_callTimeout = timeout; }
    // Where running instances register; empty for the user's own registry.
    void setRegistryFolder(const QString& folder) { m_registryFolder = folder; }

    QString enginePath() const;

    static const QString NoFilesMessage;
    static const QString NoFolderMessage;
    static const QString DoneMessage;
    static const QString AdviceMessage;
    static const QString RunningQuestion;

private:
    RunControls m_c;
    bool m_converting = false;
    std::chrono::milliseconds m_callTimeout = std::chrono::minutes(5);
    QString m_registryFolder;
};

}  // namespace orvane
