// "Add All Word Files In Folder": the prompt and its remembered answer, the
// folder dialog and its remembered folder, which files of a tree become rows and
// in what order, the hourglass, and the error report.
#include <QPushButton>
#include <QTreeWidget>

#include "AddAllFiles.h"
#include "FileList.h"
#include "MousePointer.h"
#include "ScanFixtures.h"
#include "Settings.h"
#include "TestSupport.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

const QString Prompt = QStringLiteral(
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc files, etc.)");

class AddAll : public SettingsFixture {
protected:
    QTreeWidget control;
    FileList list{&control};
    QWidget window;
    MousePointer pointer{&window};
    FakeFileSystem fake;
    std::function<void()> onYield;
    FolderScan fakeScan{fake, m_dialogs, [this] {
                            if (onYield) onYield();
                        }};
    FolderScan diskScan{localFileSystem(), m_dialogs, [] { QCoreApplication::processEvents(); }};
    QTemporaryDir chosen;  // a real folder, so the folder dialog can confirm it

    QStringList rows() const {
        QStringList r;
        for (int i = 1; i <= list.FileCount(); ++i) r << list.FilePathAt(i);
        return r;
    }
    void click(FolderScan& scan) { PushButton4_Click(list, m_dialogs, pointer, scan); }
};

TEST_F(AddAll, ThePromptOffersTheLastExtensionAndCancelChangesNothing) {
    m_dialogs.answerText("");
    click(diskScan);
    ASSERT_EQ(m_dialogs.shown.size(), 1u);  // the prompt alone
    const Shown prompt = m_dialogs.shown[0];
    EXPECT_EQ(prompt.kind, Shown::Prompt);
    EXPECT_EQ(prompt.text, Prompt);
    EXPECT_EQ(prompt.title, applicationTitle());
    EXPECT_EQ(prompt.extra, "doc");
    EXPECT_EQ(SettingsStore::read(SettingKey::Extension, "never written"), "never written");

    // Typed pdf, then cancelled the folder dialog: pdf stays the default.
    m_dialogs.answerText("pdf");
    m_dialogs.answerFolder("");
    click(diskScan);
    EXPECT_EQ(SettingsStore::read(SettingKey::Extension, {}), "pdf");
    EXPECT_EQ(SettingsStore::read(SettingKey::LastFolder, "never written"), "never written");
    m_dialogs.answerText("");
    click(diskScan);
    EXPECT_EQ(m_dialogs.of(Shown::Prompt).back().extra, "pdf");
    EXPECT_EQ(list.FileCount(), 0);
    EXPECT_TRUE(m_dialogs.allAnswered());
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty());
}

TEST_F(AddAll, TheFolderDialogStartsAtTheLastFolderAndRemembersTheChoice) {
    SettingsStore::write(SettingKey::LastFolder, "/where/it/was");
    m_dialogs.answerText("doc");
    m_dialogs.answerFolder(chosen.path());
    click(diskScan);
    const auto folders = m_dialogs.of(Shown::Folder);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].text, "Please select folder:");
    EXPECT_EQ(folders[0].title, "/where/it/was");  // the initial folder
    EXPECT_EQ(SettingsStore::read(SettingKey::LastFolder, {}), chosen.path());
    EXPECT_EQ(pointer.value(), MousePointer::Default);
    EXPECT_EQ(m_dialogs.shown.size(), 2u);  // nothing said when nothing matched
}

TEST_F(AddAll, AddsMatchingFilesFolderByFolderWithItsExclusions) {
    const QString t = chosen.path();
    fake.file(t + "/a.doc", 32);
    fake.file(t + "/b.doc", 2);        // hidden only: added
    fake.file(t + "/c.doc", 34);       // exactly hidden plus archive: left out
    fake.file(t + "/~d.doc", 32);      // a temporary file: left out
    fake.file(t + "/e.DOC", 3);        // hidden and read-only: added
    fake.file(t + "/f.docx", 32);
    fake.file(t + "/g.doc", 32, false);  // cannot be opened
    fake.folder(t + "/sub");
    fake.folder(t + "/sys", 22);       // a hidden system folder gives nothing
    fake.file(t + "/sys/h.doc");
    fake.file(t + "/sub/i.doc");
    fake.folder(t + "/sub/deeper");
    fake.file(t + "/sub/deeper/j.doc");
    m_dialogs.answerText("doc");
    m_dialogs.answerFolder(t);
    click(fakeScan);
    EXPECT_EQ(rows(), (QStringList{t + "/a.doc", t + "/b.doc", t + "/e.DOC", t + "/sub/i.doc", t + "/sub/deeper/j.doc"}));

    // "*" takes every extension; files already listed are added again.
    QDir().mkpath(t + "/sub");  // the folder dialog confirms only real folders
    m_dialogs.answerText("*");
    m_dialogs.answerFolder(t + "/sub");
    click(fakeScan);
    EXPECT_EQ(rows().mid(5), (QStringList{t + "/sub/i.doc", t + "/sub/deeper/j.doc"}));
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty());
}

TEST_F(AddAll, TheExtensionIsUsedExactlyAsTyped) {
    // No trimming and no check: ".doc" gives the mask "*..doc", and " doc" the mask "*. doc".
    const QString t = chosen.path();
    fake.file(t + "/a.doc");
    fake.file(t + "/b..doc");
    fake.file(t + "/c. doc");
    for (const char* answer : {".doc", " doc"}) {
        m_dialogs.answerText(answer);
        m_dialogs.answerFolder(t);
        click(fakeScan);
        EXPECT_EQ(SettingsStore::read(SettingKey::Extension, {}), answer);
    }
    EXPECT_EQ(rows(), (QStringList{t + "/b..doc", t + "/c. doc"}));
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty());
}

TEST_F(AddAll, TheRootFolderGivesRowsWithOneSeparator) {
    fake.root("/");
    fake.file("/a.doc");
    fake.folder("/x");
    fake.file("/x/b.doc");
    m_dialogs.answerText("doc");
    m_dialogs.answerFolder("/");
    click(fakeScan);
    EXPECT_EQ(rows(), (QStringList{"/a.doc", "/x/b.doc"}));
}

TEST_F(AddAll, ShowsTheHourglassWhileItWalks) {
    const QString t = chosen.path();
    fake.folder(t + "/sub");
    fake.file(t + "/sub/a.doc");
    QList<int> pointerDuringWalk;
    QList<int> rowsDuringWalk;
    onYield = [&] {
        pointerDuringWalk << pointer.value();
        rowsDuringWalk << list.FileCount();
    };
    m_dialogs.answerText("doc");
    m_dialogs.answerFolder(t);
    click(fakeScan);
    ASSERT_FALSE(pointerDuringWalk.isEmpty());
    for (int value : pointerDuringWalk) EXPECT_EQ(value, MousePointer::Hourglass);
    for (int count : rowsDuringWalk) EXPECT_EQ(count, 0);  // rows come after the walk
    EXPECT_EQ(pointer.value(), MousePointer::Default);
    EXPECT_EQ(rows(), QStringList{t + "/sub/a.doc"});
}

TEST_F(AddAll, AFailureIsReportedWithItsLineAndThePointerIsStillReset) {
    const QString t = chosen.path();
    fake.file(t + "/a.doc");
    fake.folder(t + "/broken");
    fake.file(t + "/broken/b.doc");
    fake.folder(t + "/fine");
    fake.file(t + "/fine/c.doc");
    fake.refuse(t + "/broken", ListingError::Other, 0);
    m_dialogs.answerText("doc");
    m_dialogs.answerFolder(t);
    click(fakeScan);
    EXPECT_EQ(m_dialogs.errorReports(),
              QStringList{errorReportText("Input/output error: " + t + "/broken", LocationTag::PushButton4Click, 122)});
    EXPECT_EQ(rows(), (QStringList{t + "/a.doc", t + "/fine/c.doc"}));
    EXPECT_EQ(pointer.value(), MousePointer::Default);
}

TEST_F(AddAll, OnDiskDotFilesAndLinksFollowTheLinuxMapping) {
    RealTree tree;
    const QString unicode = QStringLiteral("Ünïcode – ПРИВЕТ");
    tree.file("A.DOC");
    tree.file("b.txt");
    tree.file(".lock.doc");       // a writable dot-file: 34, left out
    tree.file(".kept.doc");
    tree.mode(".kept.doc", 0444);  // read-only dot-file: 35, kept
    tree.file("~$draft.doc");
    tree.file(unicode + "/c.doc");
    tree.file("x.docx");
    RealTree elsewhere;
    elsewhere.file("outside.doc");
    tree.link(elsewhere.path(), "linked");
    tree.link(tree.path(), "loop");
    m_dialogs.answerText("doc");
    m_dialogs.answerFolder(tree.path());
    click(diskScan);
    const QString t = tree.path();
    EXPECT_EQ(rows(), (QStringList{t + "/.kept.doc", t + "/A.DOC", t + "/" + unicode + "/c.doc"}));

    list.ClearFiles();
    m_dialogs.answerText("*");
    m_dialogs.answerFolder(tree.path());
    click(diskScan);
    EXPECT_EQ(rows(), (QStringList{t + "/.kept.doc", t + "/A.DOC", t + "/b.txt", t + "/x.docx",
                                   t + "/" + unicode + "/c.doc"}));
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty());
}

TEST_F(AddAll, HiddenFoldersGiveNothingUnlessOneIsTheChosenFolder) {
    RealTree home;
    home.file("letter.doc");
    home.file(".cache/app/cached.doc");
    home.file(".config/app/settings.doc");
    home.file(".local/share/Trash/files/deleted draft.doc");
    home.file("Documents/report.doc");
    home.file("Documents/.git/report.doc");
    m_dialogs.answerText("doc");
    m_dialogs.answerFolder(home.path());
    click(diskScan);
    EXPECT_EQ(rows(), (QStringList{home.at("letter.doc"), home.at("Documents/report.doc")}));

    list.ClearFiles();
    m_dialogs.answerText("doc");
    m_dialogs.answerFolder(home.at(".local/share/Trash"));
    click(diskScan);
    EXPECT_EQ(rows(), QStringList{home.at(".local/share/Trash/files/deleted draft.doc")});
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty());
}

TEST_F(AddAll, TheWindowsButtonRunsIt) {
    RealTree tree;
    tree.file("one.doc");
    tree.file("sub/two.doc");
    Form1 form(m_platform.make(builtProgramFolder()), m_dialogs);
    m_dialogs.answerText("doc");
    m_dialogs.answerFolder(tree.path());
    form.PushButton4->click();
    QStringList shown;
    for (int i = 1; i <= form.files().FileCount(); ++i) shown << form.files().FilePathAt(i);
    EXPECT_EQ(shown, (QStringList{tree.at("one.doc"), tree.at("sub/two.doc")}));
    EXPECT_EQ(form.pointer().value(), MousePointer::Default);
}

}  // namespace
