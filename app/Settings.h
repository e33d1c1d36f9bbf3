// The per-user settings store: texts under the application "Tessaly", section
// "Orvane", kept in $XDG_CONFIG_HOME/Tessaly.ini. Every read goes to the file
// afresh (another copy of the program may have written it) and every write is
// flushed at once; a value that was never written is told apart from one that
// holds the empty text.
#pragma once

#include <QString>

namespace orvane {

class SettingsStore {
public:
    // The stored text, or `fallback` when the key was never written.
    // A stored empty text is returned as such.
    static QString read(const QString& key, const QString& fallback);

    // Stores the whole text under the key, creating the file and section as needed.
    // Throws Failure, naming the file and the reason, when it cannot be written.
    static void write(const QString& key, const QString& value);

    // Where the values live.
    static QString fileName();
};

namespace SettingKey {
inline const QString OutputFolder = QStringLiteral("Text1");
inline const QString LastFolderDot = QStringLiteral("LastFolderDot");
inline const QString LastFolder = QStringLiteral("LastFolder");
inline const QString Extension = QStringLiteral("Extension");
}  // namespace SettingKey

}  // namespace orvane
