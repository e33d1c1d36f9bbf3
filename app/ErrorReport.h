// The uniform error trap. A trapped procedure numbers its steps; when a step
// fails, the user is shown one report that names the failure, the procedure and
// the last numbered line reached, and the procedure goes on with its next step.
//
//     ErrorTrap trap(dialogs, LocationTag::FormLoad);
//     trap.line(100, [&] { applySkin(); });
//     trap.line(104, [&] { if (pathExists(cursor)) trap.line(106, [&] { loadCursor(); }); });
//
// A failure inside a helper without a trap of its own abandons the rest of that
// helper (the exception leaves it) and is reported by the trapped caller.
#pragma once

#include <QString>
#include <stdexcept>
#include <string>

namespace orvane {

class Dialogs;

// A failure with a description the user can read.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& description) : std::runtime_error(description.toStdString()) {}
    explicit Failure(const std::string& description) : std::runtime_error(description) {}
    QString description() const { return QString::fromUtf8(what()); }
};

// Thrown after the program's end action ran, where that action returns (in tests):
// no trap catches it, so nothing after the end runs.
struct ProgramEnded {
    int exitCode = 0;
};

namespace LocationTag {
inline const QString FormLoad = QStringLiteral("in Quillon2021/08/31.Form1.Form_Load ");
inline const QString PushButton1Click = QStringLiteral("in Quillon2021/08/31.Form1.PushButton1_Click ");
inline const QString PushButton2Click = QStringLiteral("in Quillon2021/08/31.Form1.PushButton2_Click ");
inline const QString PushButton3Click = QStringLiteral("in Quillon2021/08/31.Form1.PushButton3_Click ");
inline const QString PushButton4Click = QStringLiteral("in Quillon2021/08/31.Form1.PushButton4_Click ");
inline const QString PushButton8Click = QStringLiteral("in Quillon2021/08/31.Form1.PushButton8_Click ");
inline const QString PushButton9Click = QStringLiteral("in Quillon2021/08/31.Form1.PushButton9_Click ");
inline const QString GetSubDirectories2016 =
    QStringLiteral("in BrevikTitle2021/08/31.AddFolder.GetSubDirectories2016 ");
inline const QString DoItByFile = QStringLiteral("in Quillon2021/08/31.Word.DoItByFile ");
}  // namespace LocationTag

// Where users send the screenshot of a report.
inline const QString SupportAddress = QStringLiteral("support@orvane.example");

// The report's text, exactly as it is shown.
QString errorReportText(const QString& description, const QString& locationTag, int line);

// The description of whatever was thrown.
QString describeFailure(std::exception_ptr failure);

class ErrorTrap {
public:
    ErrorTrap(Dialogs& dialogs, QString locationTag) : m_dialogs(dialogs), m_tag(std::move(locationTag)) {}

    // Runs a numbered step.
    template <class Step>
    void line(int number, Step&& step) {
        m_line = number;
        run(step);
    }

    // Runs a step without a number of its own: a failure reports the last number reached.
    template <class Step>
    void step(Step&& step) {
        run(step);
    }

    // Marks a numbered line that cannot fail by itself.
    void reach(int number) { m_line = number; }

    int lastLine() const { return m_line; }
    int reports() const { return m_reports; }

    // Shows the report for a failure that the procedure caught on its own.
    void report(const QString& description);

private:
    template <class Step>
    void run(Step& step) {
        try {
            step();
        } catch (const ProgramEnded&) {
            throw;
        } catch (...) {
            report(describeFailure(std::current_exception()));
        }
    }

    Dialogs& m_dialogs;
    QString m_tag;
    int m_line = 0;
    int m_reports = 0;
};

}  // namespace orvane
