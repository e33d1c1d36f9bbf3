// What the program asks of the desktop and the process, in one place, so that
// tests can stand in for each piece: where the program lives, chance, opening
// addresses, pumping events and ending the process.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace orvane {

struct Platform {
    QString programFolder;                      // the executable's folder, no trailing "/"
    std::function<double()> random;             // a number r with 0 <= r < 1
    std::function<bool(const QUrl&)> openUrl;   // hands an address or folder to the desktop, never waits
    std::function<void(int)> endProgram;        // ends the process at once
    std::function<QString()> desktopFolder;     // may name a folder that does not exist
    std::function<void()> processEvents;        // one pass of the event loop

    // The real desktop.
    static Platform system();
};

// The maker's home page, opened now and then at start-up.
inline const QString HomePageAddress = QStringLiteral("https://orvane.example/");

}  // namespace orvane
