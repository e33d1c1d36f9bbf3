// The conversion run from the window: progress, messages, failures that do not
// stop the run, the running-instance question, and no engine process left behind.
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QTreeWidget>
#include <dirent.h>
#include <unistd.h>

#include "Automation.h"
#include "ConversionRun.h"
#include "FileList.h"
#include "TestSupport.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

// Processes whose parent is this test program: every engine started for a
// conversion must be gone when the conversion returns.
int childProcesses() {
    int count = 0;
    const QString self = QString::number(::getpid());
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        entry.toInt(&numeric);
        if (!numeric) continue;
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QString line = QString::fromUtf8(stat.readAll());
        // pid (comm) state ppid ...: the fields after the command's closing parenthesis.
        const QStringList fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == self && fields[0] != "Z") ++count;
    }
    return count;
}

class Run : public SettingsFixture {
protected:
    QTemporaryDir in;
    QTemporaryDir out;
    QTemporaryDir registry;
    std::unique_ptr<Form1> window;
    struct Progress {
        int value;
        QString text;
    };
    std::vector<Progress> seen;
    std::function<void()> duringYield;

    void SetUp() override {
        SettingsFixture::SetUp();
        Platform platform = m_platform.make(builtProgramFolder());
        platform.processEvents = [this] {
            seen.push_back({window->ProgressBar1->value(), window->ProgressBar1->text()});
            if (duringYield) duringYield();
        };
        window = std::make_unique<Form1>(platform, m_dialogs);
        window->run().setRegistryFolder(registry.path());
        window->Text1->setText(out.path() + "/");
    }

    QString input(const QString& name, const QByteArray& bytes) {
        const QString path = in.path() + "/" + name;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QByteArray output(const QString& name) {
        QFile file(out.path() + "/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(Run, FourFilesShowTheirShareThenResetAndSayDone) {
    for (const char* name : {"one.txt", "two.txt", "three.txt", "four.txt"})
        window->files().AddFile(input(name, QByteArray("Text of ") + name));
    window->PushButton2_Click();

    ASSERT_EQ(seen.size(), 4u);
    const int expected[] = {25, 50, 75, 100};
    const char* names[] = {"one.txt", "two.txt", "three.txt", "four.txt"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(seen[i].value, expected[i]);
        EXPECT_EQ(seen[i].text, QStringLiteral("Processing: ") + names[i]);
    }
    EXPECT_EQ(window->ProgressBar1->value(), 0);
    EXPECT_EQ(window->ProgressBar1->text(), "Progress Bar");
    EXPECT_EQ(window->pointer().value(), MousePointer::Default);
    EXPECT_EQ(m_dialogs.messages(), QStringList{"Done."});
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty()) << m_dialogs.errorReports().join("\n").toStdString();
    EXPECT_TRUE(output("three.rtf").startsWith("{\\rtf1"));
    EXPECT_TRUE(output("four.rtf").contains("Text of four.txt"));
    EXPECT_FALSE(window->run().converting());
    EXPECT_EQ(childProcesses(), 0);
}

TEST_F(Run, AnEmptyListOrAMissingFolderIsSaidAndNothingRuns) {
    window->PushButton2_Click();
    EXPECT_EQ(m_dialogs.messages(), QStringList{"No files added."});
    window->files().AddFile(input("a.txt", "a"));
    window->Text1->setText(out.path() + "/missing/");
    window->PushButton2_Click();
    window->Text1->setText("");
    window->PushButton2_Click();
    EXPECT_EQ(m_dialogs.messages(),
              (QStringList{"No files added.", "Folder does not exist. Please select another folder.",
                           "Folder does not exist. Please select another folder."}));
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(window->ProgressBar1->text(), "Progress Bar");
    EXPECT_FALSE(window->run().converting());
}

TEST_F(Run, ADamagedFileGivesTwoReportsAndTheNextFileIsConverted) {
    window->files().AddFile(input("empty.docx", ""));
    window->files().AddFile(input("good.txt", "good"));
    window->PushButton2_Click();
    const QStringList reports = m_dialogs.errorReports();
    ASSERT_EQ(reports.size(), 2) << reports.join("\n").toStdString();
    EXPECT_TRUE(reports[0].contains("empty.docx")) << reports[0].toStdString();
    EXPECT_TRUE(reports[0].contains("\r\nin Quillon2021/08/31.Word.DoItByFile at line 102\r\r"));
    EXPECT_TRUE(reports[1].contains("\r\nin Quillon2021/08/31.Word.DoItByFile at line 112\r\r"));
    EXPECT_TRUE(output("empty.rtf").isEmpty());
    EXPECT_FALSE(QFile::exists(out.path() + "/empty.rtf"));
    EXPECT_TRUE(output("good.rtf").contains("good"));
    EXPECT_EQ(m_dialogs.messages(), QStringList{"Done."});
    EXPECT_EQ(childProcesses(), 0);
}

TEST_F(Run, AClickDuringARunDoesNothing) {
    window->files().AddFile(input("a.txt", "a"));
    window->files().AddFile(input("b.txt", "b"));
    duringYield = [this] { window->PushButton2_Click(); };
    window->PushButton2_Click();
    EXPECT_EQ(seen.size(), 2u);  // the second click did not start a run of its own
    EXPECT_EQ(m_dialogs.messages(), QStringList{"Done."});
}

TEST_F(Run, SameOutputNamesInOneRunDoNotOverwriteEachOther) {
    QFile old(out.path() + "/report.rtf");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("from an earlier run");
    old.close();
    window->files().AddFile(input("first/report.txt", "first text"));
    window->files().AddFile(input("second/report.txt", "second text"));
    window->files().AddFile(input("report.rtf", "{\\rtf1\\ansi third text\\par}"));
    window->PushButton2_Click();
    EXPECT_TRUE(output("report.rtf").contains("first text"));  // the earlier run's file is replaced
    EXPECT_TRUE(output("report (2).rtf").contains("second text"));
    EXPECT_TRUE(output("report (3).rtf").contains("third text"));
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty()) << m_dialogs.errorReports().join("\n").toStdString();
}

TEST_F(Run, AnOutputNeverReplacesAListedFile) {
    // Converting into the documents' own folder, named through a link to it.
    const QString linked = out.path() + "/docs";
    ASSERT_TRUE(QFile::link(in.path(), linked));
    window->Text1->setText(linked + "/");
    window->files().AddFile(input("a.txt", "text of a"));
    window->files().AddFile(input("a.rtf", "{\\rtf1\\ansi rtf of a\\par}"));
    window->files().AddFile(input("self.rtf", "{\\rtf1\\ansi self\\par}"));
    window->PushButton2_Click();
    auto read = [&](const QString& name) {
        QFile file(in.path() + "/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    EXPECT_EQ(read("a.rtf"), "{\\rtf1\\ansi rtf of a\\par}");  // listed, and not yet converted when a.txt was
    EXPECT_EQ(read("self.rtf"), "{\\rtf1\\ansi self\\par}");   // the input being converted
    EXPECT_TRUE(read("a (2).rtf").contains("text of a"));
    EXPECT_TRUE(read("a (3).rtf").contains("rtf of a"));
    EXPECT_TRUE(read("self (2).rtf").contains("self"));
    EXPECT_EQ(m_dialogs.messages(), QStringList{"Done."});
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty()) << m_dialogs.errorReports().join("\n").toStdString();
}

TEST_F(Run, TheBarShowsFileNamesAsTheyAre) {
    window->files().AddFile(input("a 50%p.txt", "a"));
    window->files().AddFile(input("%v of %m.txt", "b"));
    window->PushButton2_Click();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "Processing: a 50%p.txt");
    EXPECT_EQ(seen[1].text, "Processing: %v of %m.txt");
}

TEST_F(Run, RowsRemovedDuringTheFirstYieldConvertNothingAndTheRunGoesOn) {
    window->files().AddFile(input("a.txt", "a"));
    window->files().AddFile(input("b.txt", "b"));
    window->files().AddFile(input("c.txt", "c"));
    duringYield = [this] {
        if (window->files().FileCount() == 3) {
            window->files().RemoveAt(3);
            window->files().RemoveAt(2);
        }
    };
    window->PushButton2_Click();
    const QStringList reports = m_dialogs.errorReports();
    ASSERT_EQ(reports.size(), 2);  // positions 2 and 3 no longer exist
    for (const QString& report : reports)
        EXPECT_TRUE(report.contains("in Quillon2021/08/31.Form1.PushButton2_Click at line 112\r\r"));
    EXPECT_TRUE(output("a.rtf").startsWith("{\\rtf1"));
    EXPECT_FALSE(QFile::exists(out.path() + "/b.rtf"));
    EXPECT_EQ(m_dialogs.messages(), QStringList{"Done."});
}

TEST_F(Run, ARunningInstanceIsAskedAboutOnce) {
    automation::ClientOptions options;
    options.enginePath = (builtProgramFolder() + "/orvane-word").toStdString();
    options.registryDir = registry.path().toStdString();
    auto running = automation::createObject("Word.Application", options);
    ASSERT_TRUE(running);
    EXPECT_TRUE(window->run().IsWordRunning());

    window->files().AddFile(input("a.txt", "a"));
    window->files().AddFile(input("b.txt", "b"));
    m_dialogs.answerNo();
    window->PushButton2_Click();
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(m_dialogs.messages().isEmpty());
    ASSERT_EQ(m_dialogs.of(Shown::Question).size(), 1u);
    EXPECT_EQ(m_dialogs.of(Shown::Question)[0].text, ConversionRun::RunningQuestion);

    m_dialogs.answerYes();
    window->PushButton2_Click();
    EXPECT_EQ(m_dialogs.of(Shown::Question).size(), 2u);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(m_dialogs.messages(), QStringList{"Done."});
    EXPECT_TRUE(m_dialogs.allAnswered());

    running.reset();
    EXPECT_FALSE(window->run().IsWordRunning());
    EXPECT_EQ(childProcesses(), 0);
}

}  // namespace
