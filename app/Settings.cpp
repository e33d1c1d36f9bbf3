#include "Settings.h"

#include <QFileInfo>
#include <QSettings>

#include "ErrorReport.h"

namespace orvane {

namespace {
const QString kOrganisation = QStringLiteral("Tessaly");
const QString kSection = QStringLiteral("Orvane");

// The organisation name alone makes QSettings use "Tessaly.ini" in the user's
// configuration folder.
QSettings openStore() { return QSettings(QSettings::IniFormat, QSettings::UserScope, kOrganisation); }
}  // namespace

QString SettingsStore::fileName() { return openStore().fileName(); }

QString SettingsStore::read(const QString& key, const QString& fallback) {
    QSettings store = openStore();
    store.beginGroup(kSection);
    if (!store.contains(key)) return fallback;
    return store.value(key).toString();
}

void SettingsStore::write(const QString& key, const QString& value) {
    QSettings store = openStore();
    store.beginGroup(kSection);
    store.setValue(key, value);
    store.endGroup();
    store.sync();
    if (store.status() == QSettings::NoError) return;

    // QSettings says only that it failed; say where, and the likely reason.
    const QString file = store.fileName();
    const QFileInfo info(file);
    QString reason = QStringLiteral("the file could not be written");
    if (info.exists() && !info.isWritable())
        reason = QStringLiteral("the file is read-only");
    else if (!info.exists() && !QFileInfo(info.absolutePath()).isWritable())
        reason = QStringLiteral("its folder cannot be written");
    else if (store.status() == QSettings::FormatError)
        reason = QStringLiteral("the file is damaged");
    throw Failure(QStringLiteral("Cannot save the setting \"%1\" in %2: %3.").arg(key, file, reason));
}

}  // namespace orvane
