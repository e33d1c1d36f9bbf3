// Every message box, question, text prompt and file or folder dialog of the
// program passes through this one interface, so that tests can answer them in
// turn and check what was asked, without a display.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace orvane {

// A name filter of the open-file dialog: what the user reads, and the patterns
// it stands for (matched without regard to letter case).
struct FileFilter {
    QString label;          // e.g. "Word Documents (*.do*)"
    QStringList patterns;   // e.g. {"*.do*"}
};

struct OpenFilesRequest {
    QString title;
    QList<FileFilter> filters;  // the first one is selected when the dialog opens
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A plain message box without an icon and with one OK button. An empty
    // title stands for the application title.
    virtual void message(const QString& text, const QString& title = {}) = 0;

    // A plain question with Yes and No; true for Yes.
    virtual bool question(const QString& text, const QString& title = {}) = 0;

    // The error report: warning icon, caption "Application Error", one OK button.
    virtual void errorReport(const QString& text) = 0;

    // A modal text prompt; Cancel gives the empty text.
    virtual QString textPrompt(const QString& prompt, const QString& title, const QString& defaultText) = 0;

    // The open-file dialog with multiple selection: full paths, empty on cancel.
    virtual QStringList openFiles(const OpenFilesRequest& request) = 0;

    // The folder dialog: the chosen folder or the empty text on cancel. Only real
    // folders can be confirmed; the initial folder is selected when it exists.
    virtual QString chooseFolder(const QString& prompt, const QString& initialFolder) = 0;
};

// The caption of every message box and prompt that names none of its own.
// Set once at start-up from the product name.
const QString& applicationTitle();
void setApplicationTitleText(const QString& title);

}  // namespace orvane
