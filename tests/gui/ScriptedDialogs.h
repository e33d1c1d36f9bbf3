// Dialogs for tests: every question, prompt and file or folder dialog takes the
// next scripted answer, and everything shown is recorded in order.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <variant>
#include <vector>

#include "Dialogs.h"

namespace orvane::testing {

struct Shown {
    enum Kind { Message, Question, ErrorReport, Prompt, OpenFiles, Folder };
    Kind kind;
    QString text;   // the message, the prompt, or the dialog's title
    QString title;  // the caption; for a prompt its title, for a folder dialog the initial folder
    QString extra;  // a prompt's default text; the open-file dialog's filters joined by "|"
};

class ScriptedDialogs : public Dialogs {
public:
    void answerYes() { m_answers.emplace_back(true); }
    void answerNo() { m_answers.emplace_back(false); }
    void answerText(const QString& text) { m_answers.emplace_back(text); }
    void answerFiles(const QStringList& files) { m_answers.emplace_back(files); }
    void answerFolder(const QString& folder) { m_answers.emplace_back(folder); }

    // Runs whenever a dialog is shown, before it is answered: the place to act
    // while a modal dialog would be open.
    std::function<void(const Shown&)> onShow;

    std::vector<Shown> shown;
    std::vector<QString> unanswered;  // dialogs that found no scripted answer of their kind

    std::vector<Shown> of(Shown::Kind kind) const;
    QStringList errorReports() const;
    QStringList messages() const;
    bool allAnswered() const { return m_answers.empty() && unanswered.empty(); }

    void message(const QString& text, const QString& title) override;
    bool question(const QString& text, const QString& title) override;
    void errorReport(const QString& text) override;
    QString textPrompt(const QString& prompt, const QString& title, const QString& defaultText) override;
    QStringList openFiles(const OpenFilesRequest& request) override;
    QString chooseFolder(const QString& prompt, const QString& initialFolder) override;

private:
    using Answer = std::variant<bool, QString, QStringList>;
    template <class T>
    T next(const QString& what, T fallback);
    void record(Shown shownDialog);

    std::deque<Answer> m_answers;
};

}  // namespace orvane::testing
