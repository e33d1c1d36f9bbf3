// "Load Sample/Example Files": which sample files become rows, the exact-match
// test against listed rows, the question and the folder it opens, and the
// samples that ship beside the program.
#include <QDir>
#include <QPushButton>
#include <QTreeWidget>

#include "FileList.h"
#include "Samples.h"
#include "ScanFixtures.h"
#include "TestSupport.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

const QString Question = QStringLiteral(
    "Would you like this software to open the folder where these sample files are stored (so that you can view them "
    "before working with them)?");

class SampleFiles : public SettingsFixture {
protected:
    RealTree program;  // the program folder
    QTreeWidget control;
    FileList list{&control};
    FolderScan scan{localFileSystem(), m_dialogs, [] {}};
    Platform platform;

    void SetUp() override {
        SettingsFixture::SetUp();
        platform = m_platform.make(program.path());
    }
    QString sample(const QString& name) const { return program.path() + "/Samples/" + name; }
    QStringList rows() const {
        QStringList r;
        for (int i = 1; i <= list.FileCount(); ++i) r << list.FilePathAt(i);
        return r;
    }
    void click() { PushButton9_Click(list, scan, m_dialogs, platform); }
};

TEST_F(SampleFiles, AddsEachSampleOnceAndAsksEveryTime) {
    program.file("Samples/b.docx");
    program.file("Samples/a.odt");
    program.file("Samples/.hidden.rtf");  // hidden files are samples too
    program.file("Samples/sub/c.doc");    // subfolders are not looked into
    m_dialogs.answerNo();
    click();
    const QStringList samples{sample(".hidden.rtf"), sample("a.odt"), sample("b.docx")};
    EXPECT_EQ(rows(), samples);
    ASSERT_EQ(m_dialogs.shown.size(), 1u);
    EXPECT_EQ(m_dialogs.shown[0].kind, Shown::Question);
    EXPECT_EQ(m_dialogs.shown[0].text, Question);
    EXPECT_EQ(m_dialogs.shown[0].title, applicationTitle());
    EXPECT_TRUE(m_platform.openedUrls.isEmpty());

    // A second click adds nothing; Yes opens the folder and leaves the list alone.
    m_dialogs.answerYes();
    click();
    EXPECT_EQ(rows(), samples);
    EXPECT_EQ(m_dialogs.of(Shown::Question).size(), 2u);
    EXPECT_EQ(m_platform.openedUrls, QStringList{QUrl::fromLocalFile(program.path() + "/Samples/").toString()});
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty());
}

TEST_F(SampleFiles, OnlyAnExactlyEqualRowCountsAsListed) {
    program.file("Samples/a.odt");
    program.file("Samples/b.rtf");
    list.AddFile(sample("A.ODT"));
    list.AddFile(program.path() + "//Samples/b.rtf");
    list.AddFile(sample("b.rtf"));
    EXPECT_TRUE(ContainsPath(list, sample("b.rtf")));
    EXPECT_FALSE(ContainsPath(list, sample("a.odt")));
    EXPECT_FALSE(ContainsPath(list, sample("b.rtf ")));
    m_dialogs.answerNo();
    click();
    EXPECT_EQ(rows(), (QStringList{sample("A.ODT"), program.path() + "//Samples/b.rtf", sample("b.rtf"),
                                   sample("a.odt")}));
}

TEST_F(SampleFiles, AMissingFolderAddsNothingButStillAsks) {
    m_dialogs.answerYes();
    click();
    EXPECT_EQ(list.FileCount(), 0);
    EXPECT_EQ(m_dialogs.of(Shown::Question).size(), 1u);
    EXPECT_EQ(m_platform.openedUrls.size(), 1);
}

TEST_F(SampleFiles, AFailureIsReportedAtLine100AndEndsTheHandler) {
    FakeFileSystem fake;
    fake.file(program.path() + "/Samples/a.doc");
    fake.refuse(program.path() + "/Samples", ListingError::Other);
    FolderScan broken{fake, m_dialogs, [] {}};
    PushButton9_Click(list, broken, m_dialogs, platform);
    ASSERT_EQ(m_dialogs.errorReports().size(), 1);
    EXPECT_EQ(m_dialogs.errorReports()[0], errorReportText("Input/output error: " + program.path() + "/Samples",
                                                           LocationTag::PushButton9Click, 100));
    EXPECT_TRUE(m_dialogs.of(Shown::Question).empty());  // the rest is abandoned
}

TEST_F(SampleFiles, TheWindowsButtonLoadsThem) {
    program.file("Samples/a.odt");
    Form1 form(m_platform.make(program.path()), m_dialogs);
    m_dialogs.answerYes();
    form.PushButton9->click();
    EXPECT_EQ(form.files().FileCount(), 1);
    EXPECT_EQ(form.files().FilePathAt(1), sample("a.odt"));
    EXPECT_EQ(m_platform.openedUrls.size(), 1);
}

// The documents that ship beside the built program, told apart by their content.
TEST(ShippedSamples, CoverTheFormatsTheEngineReads) {
    const QDir folder(builtProgramFolder() + "/Samples");
    ASSERT_TRUE(folder.exists()) << folder.path().toStdString();
    const QFileInfoList files = folder.entryInfoList(QDir::Files);
    EXPECT_GE(files.size(), 4);
    EXPECT_LE(files.size(), 6);
    QSet<QString> kinds;
    for (const QFileInfo& info : files) {
        QFile file(info.filePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_GT(bytes.size(), 500) << info.fileName().toStdString();  // real documents, not placeholders
        const QString ext = info.suffix().toLower();
        if (bytes.startsWith("PK\x03\x04")) {
            if (bytes.contains("mimetypeapplication/vnd.oasis.opendocument.text")) {
                EXPECT_EQ(ext, "odt");
                kinds << "odt";
            } else if (bytes.contains("word/document.xml")) {
                EXPECT_EQ(ext, "docx");
                kinds << "docx";
            }
        } else if (bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
            EXPECT_EQ(ext, "doc");
            kinds << "doc";
        } else if (bytes.startsWith("{\\rtf")) {
            EXPECT_EQ(ext, "rtf");
            kinds << "rtf";
        }
    }
    EXPECT_EQ(kinds, (QSet<QString>{"docx", "doc", "odt", "rtf"}));
}

}  // namespace
