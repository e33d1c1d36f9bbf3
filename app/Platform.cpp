#include "Platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QStandardPaths>
#include <QTime>
#include <cstdio>
#include <random>
#include <unistd.h>

namespace orvane {

Platform Platform::system() {
    Platform platform;
    platform.programFolder = QCoreApplication::applicationDirPath();
    platform.random = [] {
        // Seeded from the time of day, as every start draws afresh.
        std::mt19937 generator(static_cast<unsigned>(QTime::currentTime().msecsSinceStartOfDay() / 1000));
        return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
    };
    platform.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    platform.endProgram = [](int code) {
        // Settings are written when they change, so nothing is waiting to be saved.
        std::fflush(nullptr);
        ::_exit(code);
    };
    platform.desktopFolder = [] { return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation); };
    platform.processEvents = [] { QCoreApplication::processEvents(); };
    return platform;
}

}  // namespace orvane
