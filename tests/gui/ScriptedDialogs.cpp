#include "ScriptedDialogs.h"

namespace orvane::testing {

template <class T>
T ScriptedDialogs::next(const QString& what, T fallback) {
    if (!m_answers.empty()) {
        if (auto* answer = std::get_if<T>(&m_answers.front())) {
            T value = *answer;
            m_answers.pop_front();
            return value;
        }
    }
    unanswered.push_back(what);
    return fallback;
}

void ScriptedDialogs::record(Shown shownDialog) {
    shown.push_back(shownDialog);
    if (onShow) onShow(shown.back());
}

std::vector<Shown> ScriptedDialogs::of(Shown::Kind kind) const {
    std::vector<Shown> result;
    for (const Shown& s : shown)
        if (s.kind == kind) result.push_back(s);
    return result;
}

QStringList ScriptedDialogs::errorReports() const {
    QStringList texts;
    for (const Shown& s : of(Shown::ErrorReport)) texts << s.text;
    return texts;
}

QStringList ScriptedDialogs::messages() const {
    QStringList texts;
    for (const Shown& s : of(Shown::Message)) texts << s.text;
    return texts;
}

void ScriptedDialogs::message(const QString& text, const QString& title) {
    record({Shown::Message, text, title.isEmpty() ? applicationTitle() : title, {}});
}

bool ScriptedDialogs::question(const QString& text, const QString& title) {
    record({Shown::Question, text, title.isEmpty() ? applicationTitle() : title, {}});
    return next<bool>(QStringLiteral("question: ") + text, false);
}

void ScriptedDialogs::errorReport(const QString& text) {
    record({Shown::ErrorReport, text, QStringLiteral("Application Error"), {}});
}

QString ScriptedDialogs::textPrompt(const QString& prompt, const QString& title, const QString& defaultText) {
    record({Shown::Prompt, prompt, title.isEmpty() ? applicationTitle() : title, defaultText});
    return next<QString>(QStringLiteral("prompt: ") + prompt, QString());
}

QStringList ScriptedDialogs::openFiles(const OpenFilesRequest& request) {
    QStringList filters;
    for (const FileFilter& filter : request.filters) filters << filter.label;
    record({Shown::OpenFiles, request.title, {}, filters.join(QLatin1Char('|'))});
    return next<QStringList>(QStringLiteral("open files: ") + request.title, QStringList());
}

QString ScriptedDialogs::chooseFolder(const QString& prompt, const QString& initialFolder) {
    record({Shown::Folder, prompt, initialFolder, {}});
    return next<QString>(QStringLiteral("folder: ") + prompt, QString());
}

}  // namespace orvane::testing
