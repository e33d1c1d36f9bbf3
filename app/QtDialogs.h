// The dialogs as a person sees them, built from Qt's standard dialogs.
#pragma once

#include <QMessageBox>
#include <QPointer>

#include "Dialogs.h"

namespace orvane {

class QtDialogs : public Dialogs {
public:
    // owner may be null, or not yet shown: the dialogs then stand alone.
    explicit QtDialogs(QWidget* owner = nullptr) : m_owner(owner) {}

    void setOwner(QWidget* owner) { m_owner = owner; }

    void message(const QString& text, const QString& title) override;
    bool question(const QString& text, const QString& title) override;
    void errorReport(const QString& text) override;
    QString textPrompt(const QString& prompt, const QString& title, const QString& defaultText) override;
    QStringList openFiles(const OpenFilesRequest& request) override;
    QString chooseFolder(const QString& prompt, const QString& initialFolder) override;

private:
    QWidget* visibleOwner() const;
    int showBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                QMessageBox::StandardButtons buttons);

    QPointer<QWidget> m_owner;
};

// Message texts keep the carriage returns they were built with; on screen a CR LF
// pair or a lone CR is shown as a line break.
QString displayText(const QString& text);

}  // namespace orvane
