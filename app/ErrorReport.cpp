#include "ErrorReport.h"

#include <new>

#include "Dialogs.h"

namespace orvane {

QString errorReportText(const QString& description, const QString& locationTag, int line) {
    // The tag ends in a blank of its own, which separates it from "at line ".
    return description + QStringLiteral("\r\n") + locationTag + QStringLiteral("at line ") + QString::number(line) +
           QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ") + SupportAddress;
}

QString describeFailure(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const Failure& e) {
        return e.description();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown failure");
    }
}

void ErrorTrap::report(const QString& description) {
    ++m_reports;
    m_dialogs.errorReport(errorReportText(description, m_tag, m_line));
}

}  // namespace orvane
