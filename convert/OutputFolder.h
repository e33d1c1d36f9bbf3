// The output folder: the free text of the box in "Save Results To This Folder",
// remembered on every change and restored at start-up, and the "..." button
// that picks a folder for it.
#pragma once

#include <QString>
#include <functional>

class QLineEdit;

namespace orvane {

class Dialogs;

class OutputFolder {
public:
    OutputFolder(QLineEdit* text, Dialogs& dialogs, std::function<QString()> desktopFolder);

    // The box's change handler: stores the whole text at once.
    void Text1_Change();

    // The "..." button.
    void PushButton3_Click();

    // Puts the stored text back into the box, or the default when none is stored.
    void restore();

    // The desktop folder followed by "/"; the home folder followed by "/" when
    // there is no desktop folder, because a run refuses a folder that does not exist.
    QString DefaultOutputFolder() const;

private:
    QLineEdit* m_text;
    Dialogs& m_dialogs;
    std::function<QString()> m_desktopFolder;
    bool m_storeFailureShown = false;
};

}  // namespace orvane
