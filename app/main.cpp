// Orvane: converts many word-processor documents to RTF in one run.
#include <QApplication>

#include "ErrorReport.h"
#include "Form1.h"
#include "Platform.h"
#include "QtDialogs.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationName(QStringLiteral("Orvane"));

    orvane::QtDialogs dialogs;
    orvane::Form1 window(orvane::Platform::system(), dialogs);
    dialogs.setOwner(&window);
    try {
        window.Form_Load();
    } catch (const orvane::ProgramEnded& ended) {
        return ended.exitCode;
    }
    window.show();
    return application.exec();
}
