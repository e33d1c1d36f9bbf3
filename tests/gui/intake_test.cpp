// The path rules, "Add Word File(s)" and the output folder's picker.
#include <QDir>
#include <QLineEdit>
#include <QSet>
#include <QTreeWidget>

#include "AddFiles.h"
#include "ErrorReport.h"
#include "ConversionRun.h"
#include "FileList.h"
#include "Paths.h"
#include "Settings.h"
#include "TestSupport.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

TEST(NormalizePathRule, CollapsesPairsInOnePass) {
    struct Case {
        PathStyle style;
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {PathStyle::Windows, R"(C:\Docs\a.doc)", R"(C:\Docs\a.doc)"},
        {PathStyle::Windows, R"(C:\\Docs\a.doc)", R"(C:\Docs\a.doc)"},
        {PathStyle::Windows, R"(\\server\\share\a.doc)", R"(\\server\share\a.doc)"},
        {PathStyle::Windows, R"(\server\a)", R"(\\server\a)"},
        {PathStyle::Windows, R"(\\\\server\a)", R"(\\server\a)"},
        {PathStyle::Windows, R"(C:\a\\\b)", R"(C:\a\\b)"},
        {PathStyle::Windows, R"(C:\a\\\\b)", R"(C:\a\\b)"},
        {PathStyle::Windows, R"(\\\)", R"(\\)"},
        {PathStyle::Windows, "", ""},
        {PathStyle::Posix, "/home/u/a.doc", "/home/u/a.doc"},
        {PathStyle::Posix, "//home//u/a.doc", "/home/u/a.doc"},
        {PathStyle::Posix, "////home/u", "/home/u"},
        {PathStyle::Posix, "/a///b", "/a//b"},
        {PathStyle::Posix, "/a////b", "/a//b"},
        {PathStyle::Posix, "rel//x", "rel/x"},
        {PathStyle::Posix, "/", "/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalizePath(QString::fromUtf8(c.in), c.style), QString::fromUtf8(c.out)) << c.in;
    EXPECT_EQ(joinPath("/", "a.doc"), "/a.doc");
    EXPECT_EQ(joinPath("/docs/", "a.doc"), "/docs/a.doc");
    EXPECT_EQ(joinPath(R"(C:\)", "a.doc", PathStyle::Windows), R"(C:\a.doc)");
}

TEST(OutputNaming, FollowsTheNamingRule) {
    struct Case {
        PathStyle style;
        const char* folder;
        const char* input;
        const char* out;
    };
    const Case cases[] = {
        {PathStyle::Windows, R"(C:\Out)", R"(D:\Docs\Report.docx)", R"(C:\Out\Report.rtf)"},
        {PathStyle::Windows, R"(C:\Out\)", R"(D:\Docs\Report.docx)", R"(C:\Out\Report.rtf)"},
        {PathStyle::Windows, R"(\\srv\share\)", R"(D:\a.doc)", R"(\\srv\share\a.rtf)"},
        {PathStyle::Windows, R"(C:\Out)", R"(D:\Docs\README)", R"(C:\Out\README.rtf)"},
        {PathStyle::Windows, R"(C:\Out)", R"(D:\Docs\x.doc.doc)", R"(C:\Out\x.rtf)"},
        {PathStyle::Windows, R"(C:\my.doc files\)", R"(a.doc)", R"(C:\my.doc files\a.rtf)"},
        {PathStyle::Windows, R"(C:\Release 1.2\)", R"(README)", R"(C:\Release 1.2\README.rtf)"},
        {PathStyle::Windows, R"(C:\Out)", R"(a.DOC)", R"(C:\Out\a.rtf)"},
        {PathStyle::Windows, R"(C:\Out)", R"(a.doc.DOC)", R"(C:\Out\a.doc.rtf)"},
        {PathStyle::Posix, "/out", "/docs/Report.docx", "/out/Report.rtf"},
        {PathStyle::Posix, "/out/", "/docs/Report.docx", "/out/Report.rtf"},
        {PathStyle::Posix, "/", "/docs/a.odt", "/a.rtf"},
        {PathStyle::Posix, "/out", "/docs/Ünïcode – ПРИВЕТ.docx", "/out/Ünïcode – ПРИВЕТ.rtf"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutputPathFor(QString::fromUtf8(c.folder), QString::fromUtf8(c.input), c.style),
                  QString::fromUtf8(c.out))
            << c.input;
}

TEST(OutputNaming, ATakenNameGetsTheFirstFreeNumber) {
    QSet<QString> taken;
    auto isTaken = [&](const QString& path) { return taken.contains(path); };
    EXPECT_EQ(firstFreeOutputPath("/o/a.rtf", isTaken), "/o/a.rtf");
    taken << "/o/a.rtf";
    EXPECT_EQ(firstFreeOutputPath("/o/a.rtf", isTaken), "/o/a (2).rtf");
    taken << "/o/a (2).rtf" << "/o/a (3).rtf";
    EXPECT_EQ(firstFreeOutputPath("/o/a.rtf", isTaken), "/o/a (4).rtf");
}

TEST(PathHelpers, NamesExtensionsAndExistence) {
    EXPECT_EQ(FileNameOf("/a/b/c.doc"), "c.doc");
    EXPECT_EQ(FileNameOf("c.doc"), "c.doc");
    EXPECT_EQ(ExtensionOf("c.tar.gz"), "gz");
    EXPECT_EQ(ExtensionOf("README"), "README");
    QTemporaryDir dir;
    EXPECT_TRUE(FolderExists(dir.path()));
    EXPECT_FALSE(FolderExists(dir.path() + "/missing"));
    EXPECT_FALSE(FolderExists(""));
    QFile file(dir.path() + "/f.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(FolderExists(file.fileName()));
    EXPECT_TRUE(PathExists(file.fileName()));
    EXPECT_FALSE(PathExists(dir.path() + "/missing"));
    EXPECT_FALSE(PathExists(""));
}

class AddWordFiles : public SettingsFixture {
protected:
    QTreeWidget control;
    FileList list{&control};
    void SetUp() override {
        SettingsFixture::SetUp();
        list.createColumn();
    }
    QStringList rows() const {
        QStringList r;
        for (int i = 1; i <= list.FileCount(); ++i) r << list.FilePathAt(i);
        return r;
    }
};

TEST_F(AddWordFiles, OneFileIsAddedExactlyAsReturned) {
    m_dialogs.answerFiles({"/docs//one.doc"});
    PushButton1_Click(list, m_dialogs);
    EXPECT_EQ(rows(), QStringList{"/docs//one.doc"});
    const Shown& dialog = m_dialogs.shown.at(0);
    EXPECT_EQ(dialog.kind, Shown::OpenFiles);
    EXPECT_EQ(dialog.text, "Add File(s) - Hold Ctrl to select multiple files");
    EXPECT_EQ(dialog.extra, "Word Documents (*.do*)|All Files (*.*)");
}

TEST_F(AddWordFiles, SeveralFilesAreNormalisedAndKeepTheirOrder) {
    list.AddFile("/docs/b.doc");
    m_dialogs.answerFiles({"//docs/b.doc", "/docs//a.docx", "/docs/c.odt"});
    PushButton1_Click(list, m_dialogs);
    EXPECT_EQ(rows(), (QStringList{"/docs/b.doc", "/docs/b.doc", "/docs/a.docx", "/docs/c.odt"}));
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty());
}

TEST_F(AddWordFiles, CancelAddsNothingAndSaysNothing) {
    m_dialogs.answerFiles({});
    PushButton1_Click(list, m_dialogs);
    EXPECT_EQ(list.FileCount(), 0);
    EXPECT_EQ(m_dialogs.shown.size(), 1u);  // only the dialog itself
    // The dialog opens afresh, the same way, on every click.
    m_dialogs.answerFiles({"/x.doc"});
    PushButton1_Click(list, m_dialogs);
    EXPECT_EQ(m_dialogs.shown.at(1).text, m_dialogs.shown.at(0).text);
}

TEST_F(AddWordFiles, ASelectionTooLargeAddsNothingAndPointsToAddAll) {
    QStringList many;
    for (int i = 0; i < 300; ++i) many << QStringLiteral("/docs/%1.doc").arg(QString(100, QChar('a' + i % 26)) + QString::number(i));
    ASSERT_GT(selectionLength(many), MaxSelectionCharacters);
    m_dialogs.answerFiles(many);
    PushButton1_Click(list, m_dialogs);
    EXPECT_EQ(list.FileCount(), 0);
    EXPECT_EQ(m_dialogs.messages(),
              QStringList{"You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button."});
    EXPECT_EQ(m_dialogs.of(Shown::Message).at(0).title, applicationTitle());

    // Just under the limit everything is added.
    QStringList fits = many.mid(0, 200);
    ASSERT_LE(selectionLength(fits), MaxSelectionCharacters);
    m_dialogs.answerFiles(fits);
    PushButton1_Click(list, m_dialogs);
    EXPECT_EQ(list.FileCount(), 200);
}

TEST(FileListModel, PositionsCountFromOneAndBadPositionsFail) {
    QTreeWidget control;
    FileList list(&control);
    list.createColumn();
    list.AddFile("/a");
    list.AddFile("/a");
    list.AddFile("/c");
    EXPECT_EQ(list.FileCount(), 3);
    list.SetFilePathAt(2, "/b");
    list.RemoveAt(1);
    EXPECT_EQ(list.FilePathAt(1), "/b");
    EXPECT_THROW(list.FilePathAt(3), Failure);
    EXPECT_THROW(list.RemoveAt(0), Failure);
    EXPECT_EQ(list.selectedRow(), 0);
    list.selectRow(2);
    EXPECT_EQ(list.selectedRow(), 2);
    list.ClearFiles();
    EXPECT_EQ(list.FileCount(), 0);
    EXPECT_EQ(control.headerItem()->text(0), " Word File(s)");
}

class OutputFolderPicker : public SettingsFixture {
protected:
    std::unique_ptr<Form1> window;
    QTemporaryDir out;
    void SetUp() override {
        SettingsFixture::SetUp();
        window = std::make_unique<Form1>(m_platform.make("/nonexistent"), m_dialogs);
    }
};

TEST_F(OutputFolderPicker, APickedFolderGetsASeparatorAndIsRemembered) {
    m_dialogs.answerFolder(out.path());
    window->PushButton3_Click();
    EXPECT_EQ(window->Text1->text(), out.path() + "/");
    EXPECT_EQ(SettingsStore::read("LastFolderDot", "?"), out.path());
    EXPECT_EQ(SettingsStore::read("Text1", "?"), out.path() + "/");
    const Shown& dialog = m_dialogs.shown.at(0);
    EXPECT_EQ(dialog.kind, Shown::Folder);
    EXPECT_EQ(dialog.text, "Please select folder:");
    EXPECT_EQ(dialog.title, "");  // nothing picked before

    // The next click starts at the last pick, not at what was typed since.
    window->Text1->setText("/typed/elsewhere/");
    m_dialogs.answerFolder({});
    window->PushButton3_Click();
    EXPECT_EQ(m_dialogs.shown.at(1).title, out.path());
    EXPECT_EQ(window->Text1->text(), "/typed/elsewhere/");  // cancel changes nothing
    EXPECT_EQ(SettingsStore::read("LastFolderDot", "?"), out.path());
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty());
}

TEST_F(OutputFolderPicker, TheRootKeepsItsSingleSeparator) {
    m_dialogs.answerFolder("/");
    window->PushButton3_Click();
    EXPECT_EQ(window->Text1->text(), "/");
    EXPECT_EQ(SettingsStore::read("LastFolderDot", "?"), "/");
}

TEST_F(OutputFolderPicker, AChoiceThatIsNoFolderCountsAsNothingChosen) {
    window->Text1->setText("/keep/");
    m_dialogs.answerFolder(out.path() + "/missing");
    window->PushButton3_Click();
    EXPECT_EQ(window->Text1->text(), "/keep/");
    EXPECT_EQ(SettingsStore::read("LastFolderDot", "absent"), "absent");
}

TEST_F(OutputFolderPicker, AFailingSettingsWriteIsReportedAtLine104) {
    ASSERT_TRUE(QDir().mkpath(settingsFile()));  // the store cannot be written
    m_dialogs.answerFolder(out.path());
    window->PushButton3_Click();
    const QStringList reports = m_dialogs.errorReports();
    ASSERT_GE(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("in Quillon2021/08/31.Form1.PushButton3_Click at line 104\r\r"));
    EXPECT_EQ(window->Text1->text(), out.path() + "/");  // the handler went on
}

}  // namespace
