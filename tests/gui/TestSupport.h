// Shared pieces of the GUI tests: a fresh settings store per test, a platform
// whose every effect is recorded, and a loaded window.
#pragma once

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

#include "Form1.h"
#include "Platform.h"
#include "ScriptedDialogs.h"

namespace orvane::testing {

// The folder of the built programs, where orvane-word and the files beside it are.
inline QString builtProgramFolder() { return QStringLiteral(ORVANE_BIN_DIR); }

struct RecordedPlatform {
    QStringList openedUrls;
    QList<int> endCodes;
    double nextRandom = 0.5;
    bool urlOpens = true;
    QString desktop;

    Platform make(const QString& programFolder) {
        Platform p;
        p.programFolder = programFolder;
        p.random = [this] { return nextRandom; };
        p.openUrl = [this](const QUrl& url) {
            openedUrls << url.toString();
            return urlOpens;
        };
        p.endProgram = [this](int code) { endCodes << code; };
        p.desktopFolder = [this] { return desktop; };
        p.processEvents = [] { QCoreApplication::processEvents(); };
        return p;
    }
};

// Each test gets a settings store of its own, in a temporary folder.
class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_config.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
        m_platform.desktop = m_desktop.path();
    }
    QString settingsFile() const { return m_config.path() + QStringLiteral("/Tessaly.ini"); }

    QTemporaryDir m_config;
    QTemporaryDir m_desktop;
    RecordedPlatform m_platform;
    ScriptedDialogs m_dialogs;
};

}  // namespace orvane::testing
