// The folder scan: the walk's order and skip rules against exact attribute
// words and refusals, the per-folder listing and its mask, and the Linux
// mapping of attribute words on real folders.
#include <QCoreApplication>
#include <sys/stat.h>
#include <sys/types.h>

#include "ScanFixtures.h"
#include "ScriptedDialogs.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

class Walk : public ::testing::Test {
protected:
    FakeFileSystem fs;
    ScriptedDialogs dialogs;
    int yields = 0;
    std::function<void()> onYield;
    FolderScan scan{fs, dialogs, [this] {
                        ++yields;
                        if (onYield) onYield();
                    }};

    QStringList walk(QStringList queue, bool recursive = true) {
        scan.GetSubDirectories2016(queue, recursive);
        return queue;
    }
};

TEST_F(Walk, ThreeLevelsComeOutBreadthFirst) {
    fs.folder("/A/B");
    fs.folder("/A/C");
    fs.file("/A/a.doc");
    fs.folder("/A/B/D");
    fs.folder("/A/C/F");
    fs.folder("/A/B/D/E");
    EXPECT_EQ(walk({"/A/"}), (QStringList{"/A/", "/A/B/", "/A/C/", "/A/B/D/", "/A/C/F/", "/A/B/D/E/"}));
    EXPECT_EQ(walk({"/A/"}, false), (QStringList{"/A/", "/A/B/", "/A/C/"}));
    EXPECT_EQ(walk({"/A/B/D/E/"}), QStringList{"/A/B/D/E/"});  // no subfolders: the entry alone
    // Two start folders: each level is grouped by parent, in the parents' order.
    fs.folder("/X/Y");
    EXPECT_EQ(walk({"/X/", "/A/"}),
              (QStringList{"/X/", "/A/", "/X/Y/", "/A/B/", "/A/C/", "/A/B/D/", "/A/C/F/", "/A/B/D/E/"}));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Walk, EntriesKeepTheStartEntrysDoubledSeparator) {
    fs.root("/");
    fs.folder("/usr");
    fs.folder("/usr/lib");
    EXPECT_EQ(walk({"//"}), (QStringList{"//", "//usr/", "//usr/lib/"}));
}

TEST_F(Walk, SkipsFoldersByAttributeWord) {
    fs.folder("/A/sys", 22);           // hidden system folder: gone with its subtree
    fs.folder("/A/sys/under");
    fs.folder("/A/sysarchive", 54);    // hidden system archive folder: walked
    fs.folder("/A/sysarchive/under");
    fs.folder("/A/junction", 1046);    // hidden system link: gone
    fs.folder("/A/junction/under");
    fs.folder("/A/link", 1040);        // a link to a folder: neither looked into nor returned
    fs.folder("/A/link/under");
    fs.folder("/A/.dotlink", 1042);
    fs.folder("/A/hidden", 18);        // only hidden: walked
    fs.folder("/A/hidden/under");
    fs.folder("/A/readonly", 17);
    EXPECT_EQ(walk({"/A/"}), (QStringList{"/A/", "/A/sysarchive/", "/A/hidden/", "/A/readonly/",
                                          "/A/sysarchive/under/", "/A/hidden/under/"}));
}

TEST_F(Walk, FoldersNamedWithADotAreSkippedBelowTheStartFolders) {
    fs.folder("/home/u/.cache", 18);  // hidden system folders here, whatever their word
    fs.folder("/home/u/.cache/thumbnails");
    fs.folder("/home/u/.local", 18);
    fs.folder("/home/u/.local/share");
    fs.folder("/home/u/.readonly", 19);
    fs.folder("/home/u/Documents");
    fs.folder("/home/u/Documents/.git", 18);
    fs.folder("/home/u/Documents/.git/objects");
    fs.folder("/home/u/Documents/notes.d");  // a dot inside the name is no hidden folder
    fs.folder("/home/u/.media", 18);         // a mount point: walked whatever its name
    fs.root("/home/u/.media", 18);
    fs.folder("/home/u/.media/disk");
    EXPECT_EQ(walk({"/home/u/"}), (QStringList{"/home/u/", "/home/u/Documents/", "/home/u/.media/",
                                               "/home/u/Documents/notes.d/", "/home/u/.media/disk/"}));
    EXPECT_EQ(walk({"/home/u/"}, false), (QStringList{"/home/u/", "/home/u/Documents/", "/home/u/.media/"}));

    // Chosen or dropped by name, a dot folder is walked; the dot folders below it are not.
    fs.folder("/home/u/.config", 18);
    fs.folder("/home/u/.config/app");
    fs.folder("/home/u/.config/app/.backup");
    EXPECT_EQ(walk({"/home/u/.config/", "/home/u/.cache/"}),
              (QStringList{"/home/u/.config/", "/home/u/.cache/", "/home/u/.config/app/",
                           "/home/u/.cache/thumbnails/"}));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Walk, AHiddenSystemStartFolderStaysButIsOnlyListedWhenItIsARoot) {
    fs.root("/R", 22);
    fs.folder("/R/sub");
    fs.folder("/R/mount", 22);  // a mount point below: a root too, so kept whatever its word
    fs.root("/R/mount", 22);
    fs.folder("/R/mount/deep");
    EXPECT_EQ(walk({"/R/"}), (QStringList{"/R/", "/R/sub/", "/R/mount/", "/R/mount/deep/"}));

    fs.folder("/S", 22);
    fs.folder("/S/sub");
    EXPECT_EQ(walk({"/S/"}), QStringList{"/S/"});
    fs.folder("/L", 1040);
    fs.folder("/L/sub");
    EXPECT_EQ(walk({"/L/"}), QStringList{"/L/"});
}

TEST_F(Walk, SkipsSubfoldersByName) {
    const QString longName(MaxPathCharacters, QLatin1Char('n'));
    const QStringList odd = {"what?", QStringLiteral("tab\there"), QStringLiteral("del\x7f"), QString(QChar(0x85)),
                             QString(QChar(0xFFFD)) + "bytes", ".", "..", longName};
    const QStringList ordinary = {QStringLiteral("Ünïcode – ПРИВЕТ"), QStringLiteral("日本語"), "plain name",
                                  QString(MaxPathCharacters - 1, QLatin1Char('m'))};
    for (const QString& name : odd + ordinary) {
        fs.folder("/A/" + name);
        fs.folder("/A/" + name + "/under");
    }
    QStringList expected{"/A/"};
    for (const QString& name : ordinary) expected << "/A/" + name + "/";
    // A folder whose own path reaches the length limit is returned, but not listed.
    for (const QString& name : ordinary.mid(0, 3)) expected << "/A/" + name + "/under/";
    EXPECT_EQ(walk({"/A/"}), expected);
}

TEST_F(Walk, RefusedFoldersDropOutSilently) {
    fs.folder("/A/B");
    fs.folder("/A/B/under");
    fs.folder("/A/C");
    fs.folder("/A/C/under");
    fs.refuse("/A/B", ListingError::PermissionDenied);
    EXPECT_EQ(walk({"/A/"}), (QStringList{"/A/", "/A/C/", "/A/C/under/"}));

    // A refused start folder leaves the queue empty.
    fs.refuse("/A", ListingError::PermissionDenied);
    EXPECT_EQ(walk({"/A/"}), QStringList{});
    fs.refuse("/A", ListingError::PathNotFound);
    EXPECT_EQ(walk({"/A/", "/A/C/"}), (QStringList{"/A/C/", "/A/C/under/"}));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Walk, AListingThatBreaksOffKeepsWhatItFound) {
    fs.folder("/P/one");
    fs.folder("/P/two");
    fs.folder("/P/one/under");
    fs.folder("/Q/one");
    fs.folder("/Q/two");
    // Refused after one entry: the folder goes, the subfolder met before stays.
    fs.refuse("/P", ListingError::PermissionDenied, 1);
    EXPECT_EQ(walk({"/P/"}), (QStringList{"/P/one/", "/P/one/under/"}));
    // Any other error: the folder stays, with what was listed before.
    fs.refuse("/Q", ListingError::Other, 1);
    EXPECT_EQ(walk({"/Q/"}), (QStringList{"/Q/", "/Q/one/"}));
    fs.throwOnList("/Q");
    EXPECT_EQ(walk({"/Q/"}), QStringList{"/Q/"});
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Walk, OtherFailuresAreReportedWithTheWalksTagAndTheWalkGoesOn) {
    fs.folder("/A/B");
    fs.folder("/A/B/under");
    fs.folder("/A/C");
    fs.failLookup("/A/B");
    EXPECT_EQ(walk({"/A/"}), (QStringList{"/A/", "/A/C/"}));
    const QStringList reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 2);
    // Once where the level below looks the folder up, once where this level vets it.
    EXPECT_EQ(reports[0], errorReportText("Device not ready", LocationTag::GetSubDirectories2016, 112));
    EXPECT_EQ(reports[1], errorReportText("Device not ready", LocationTag::GetSubDirectories2016, 158));
    EXPECT_TRUE(reports[0].contains("in BrevikTitle2021/08/31.AddFolder.GetSubDirectories2016 at line 112\r\r"));
}

TEST_F(Walk, YieldsForEveryFolderAndASecondWalkInsideAYieldFinishesFirst) {
    fs.folder("/A/B");
    fs.folder("/A/C");
    fs.folder("/A/B/D");
    fs.folder("/Z/Y");
    QStringList inner;
    onYield = [&] {
        if (!inner.isEmpty()) return;
        inner = {"/Z/"};
        scan.GetSubDirectories2016(inner, true);
    };
    EXPECT_EQ(walk({"/A/"}), (QStringList{"/A/", "/A/B/", "/A/C/", "/A/B/D/"}));
    EXPECT_EQ(inner, (QStringList{"/Z/", "/Z/Y/"}));
    EXPECT_GE(yields, 4 + 2);
}

TEST_F(Walk, WorkGrowsLinearlyWithADeepTree) {
    // A chain 100 levels deep: each folder is looked up a fixed number of
    // times, not once per level above it.
    QString path = "/r";
    fs.folder(path);
    QStringList expected{"/r/"};
    for (int depth = 0; depth < 100; ++depth) {
        path += "/a";
        fs.folder(path);
        expected << path + "/";
    }
    fs.lookups = 0;
    yields = 0;
    EXPECT_EQ(walk({"/r/"}), expected);
    EXPECT_LE(fs.lookups, 2 * 101);
    EXPECT_LE(yields, 3 * 101);
}

class Files : public Walk {};

TEST_F(Files, ListsMatchingFilesOnlyInListingOrder) {
    fs.folder("/empty");
    EXPECT_EQ(scan.GetFiles("/empty", "*.*"), QStringList{});

    QStringList many;
    for (int i = 0; i < 150; ++i) {
        const QString name = QStringLiteral("file%1.doc").arg(149 - i, 3, 10, QLatin1Char('0'));
        fs.file("/many/" + name);
        many << name;
    }
    fs.file("/many/other.txt");
    EXPECT_EQ(scan.GetFiles("/many", "*.doc"), many);

    fs.file("/mixed/plain.doc");
    fs.file("/mixed/hidden.doc", 34);
    fs.file("/mixed/readonly-hidden.doc", 3);
    fs.file("/mixed/system.doc", 6);
    fs.folder("/mixed/folder.doc");  // a folder never, even when its name matches
    fs.folder("/mixed/.");
    fs.file("/mixed/locked.doc", 32, false);  // cannot be opened
    fs.file("/mixed/~temp.doc");              // the listing keeps it; gathering leaves it out
    const QStringList expected{"plain.doc", "hidden.doc", "readonly-hidden.doc", "system.doc", "~temp.doc"};
    EXPECT_EQ(scan.GetFiles("/mixed", "*.doc"), expected);
    EXPECT_EQ(scan.GetFiles("/mixed/", "*.doc"), expected);
    EXPECT_EQ(scan.GetFiles("/missing", "*.*"), QStringList{});
}

TEST_F(Files, RefusalsGiveNothingAndOtherErrorsFail) {
    fs.file("/denied/a.doc");
    fs.refuse("/denied", ListingError::PermissionDenied);
    EXPECT_EQ(scan.GetFiles("/denied", "*.*"), QStringList{});
    fs.file("/broken/a.doc");
    fs.refuse("/broken", ListingError::Other);
    EXPECT_THROW(scan.GetFiles("/broken", "*.*"), Failure);
}

TEST(Mask, MatchesWithoutRegardToLetterCase) {
    struct Case {
        const char* name;
        const char* mask;
        bool matches;
    };
    const Case cases[] = {
        {"a.doc", "*.doc", true},   {"B.Doc", "*.doc", true},     {"C.DOC", "*.doc", true},
        {"a.doc", "*.DOC", true},   {"a.docx", "*.doc", false},   {"a.doc.bak", "*.doc", false},
        {"doc", "*.doc", false},    {".doc", "*.doc", true},      {"README", "*.*", true},
        {"", "*.*", true},          {"a.b.c", "*.*", true},       {"a.dot", "*.do?", true},
        {"a.docx", "*.do?", false}, {"a.do", "*.do?", false},     {"a.docx", "*.do*", true},
        {"x.txt", "*.", false},     {"x", "x*", true},            {"ab", "a*b*", true},
        {"aXbYb", "a*b", true},     {"aXbYc", "a*b", false},      {"ÄRGER.doc", "ärger.*", true},
        {"[a].doc", "[a].*", true}, {"a.doc", "[a].*", false},    {"aaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*c", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matchesMask(QString::fromUtf8(c.name), QString::fromUtf8(c.mask)), c.matches)
            << c.name << " / " << c.mask;
}

TEST(OddCharacters, AreControlCharactersQuestionMarksAndReplacements) {
    EXPECT_FALSE(HasOddCharacters(""));
    EXPECT_FALSE(HasOddCharacters("Plain Letters 123"));
    EXPECT_FALSE(HasOddCharacters(QStringLiteral("en – dash, é, Привет, 日本, עברית, 😀")));
    EXPECT_FALSE(HasOddCharacters(QString(QChar(0xA0))));  // just above the control range
    EXPECT_FALSE(HasOddCharacters(QString(QChar(126))));
    for (const char16_t odd : {u'\0', u'\x1f', u'\x7f', u'\x80', u'\x9f', u'?', u'\xfffd'})
        EXPECT_TRUE(HasOddCharacters(QStringLiteral("ab") + QChar(odd) + QStringLiteral("cd"))) << int(odd);
}

// ---------------------------------------------------------------------------
// On real folders

class OnDisk : public ::testing::Test {
protected:
    RealTree tree;
    ScriptedDialogs dialogs;
    FolderScan scan{localFileSystem(), dialogs, [] { QCoreApplication::processEvents(); }};
    const FileSystem& fs = localFileSystem();
    unsigned word(const QString& relative) { return fs.attributes(tree.at(relative)).value_or(~0u); }
};

TEST_F(OnDisk, AttributeWordsFollowTheLinuxMapping) {
    tree.file("plain.doc");
    tree.file(".lock.doc");
    tree.file(".readonly.doc");
    tree.mode(".readonly.doc", 0444);
    tree.file("readonly.doc");
    tree.mode("readonly.doc", 0444);
    tree.folder("folder");
    tree.folder(".dotfolder");
    tree.folder("rofolder");
    tree.mode("rofolder", 0555);
    tree.link(tree.at("folder"), "folderlink");
    tree.link(tree.at("folder"), ".dotlink");
    tree.link(tree.at("plain.doc"), "filelink.doc");
    tree.link(tree.at("nowhere"), "dangling");

    EXPECT_EQ(word("plain.doc"), 32u);
    EXPECT_EQ(word(".lock.doc"), 34u);
    EXPECT_EQ(word(".readonly.doc"), 35u);
    EXPECT_EQ(word("readonly.doc"), 33u);
    EXPECT_EQ(word("folder"), 16u);
    EXPECT_EQ(word("folder/"), 16u);
    EXPECT_EQ(word(".dotfolder"), 18u);
    EXPECT_EQ(word("rofolder"), 17u);
    EXPECT_EQ(word("folderlink"), 1040u);
    EXPECT_EQ(word("folderlink/"), 1040u);  // the trailing "/" does not look through the link
    EXPECT_EQ(word(".dotlink"), 1042u);
    EXPECT_EQ(word("filelink.doc"), 1056u);
    EXPECT_EQ(word("dangling"), 1024u);
    EXPECT_FALSE(fs.attributes(tree.at("missing")).has_value());
    EXPECT_TRUE(isSkippedFolderWord(word("folderlink")));
    EXPECT_TRUE(isSkippedFolderWord(word(".dotlink")));
    EXPECT_FALSE(isSkippedFolderWord(word(".dotfolder")));  // skipped by its name instead
    EXPECT_TRUE(isHiddenFolderName(tree.at(".dotfolder")));
    EXPECT_TRUE(isHiddenFolderName(tree.at(".dotfolder/")));
    EXPECT_FALSE(isHiddenFolderName(tree.at("folder")));
    EXPECT_FALSE(isHiddenFolderName("/"));
    tree.mode("rofolder", 0755);

    EXPECT_TRUE(fs.isRootFolder("/"));
    EXPECT_TRUE(fs.isRootFolder("//"));
    EXPECT_FALSE(fs.isRootFolder(tree.at("folder")));
    if (QFileInfo("/proc/self").exists()) {
        EXPECT_TRUE(fs.isRootFolder("/proc/"));
    }
}

TEST_F(OnDisk, IsExistingFileOnlyForFilesThatOpen) {
    tree.file("a.doc");
    tree.folder("folder");
    tree.link(tree.at("a.doc"), "link.doc");
    tree.link(tree.at("nowhere"), "dangling");
    ASSERT_EQ(::mkfifo(QFile::encodeName(tree.at("pipe")).constData(), 0644), 0);
    EXPECT_TRUE(scan.IsExistingFile(tree.at("a.doc")));
    EXPECT_TRUE(scan.IsExistingFile(tree.at("link.doc")));
    EXPECT_FALSE(scan.IsExistingFile(tree.at("folder")));
    EXPECT_FALSE(scan.IsExistingFile(tree.at("missing.doc")));
    EXPECT_FALSE(scan.IsExistingFile(tree.at("dangling")));
    EXPECT_FALSE(scan.IsExistingFile(tree.at("pipe")));  // and does not wait for a writer
    EXPECT_FALSE(scan.IsExistingFile(""));
}

TEST_F(OnDisk, WalksEveryNameButOddAndHiddenOnesAndNeverFollowsLinks) {
    const QString unicode = QStringLiteral("Ünïcode – ПРИВЕТ");
    tree.folder(unicode + "/inner");
    tree.folder(".hidden/x");
    tree.folder("plain");
    tree.folder("what?/x");
    tree.link(tree.path(), "loop");            // back up to the start: must not run for ever
    tree.link(tree.path() + "/plain", "plainlink");
    // A name whose bytes are not text decodes to U+FFFD and is skipped.
    ASSERT_EQ(::mkdir((QFile::encodeName(tree.path()) + "/bad\xff").constData(), 0755), 0);
    QStringList queue{tree.path() + "/"};
    scan.GetSubDirectories2016(queue, true);
    const QString base = tree.path() + "/";
    EXPECT_EQ(queue, (QStringList{base, base + "plain/", base + unicode + "/", base + unicode + "/inner/"}));
    EXPECT_TRUE(dialogs.shown.empty());
    // Qt could not name this folder to remove it with the rest.
    ::rmdir((QFile::encodeName(tree.path()) + "/bad\xff").constData());
}

TEST_F(OnDisk, ListsFilesSortedWithoutRegardToCase) {
    tree.file("b.doc");
    tree.file("A.DOC");
    tree.file("c.Doc");
    tree.file("d.docx");
    tree.folder("e.doc");
    tree.link(tree.at("e.doc"), "f.doc");
    EXPECT_EQ(scan.GetFiles(tree.path(), "*.doc"), (QStringList{"A.DOC", "b.doc", "c.Doc"}));
    EXPECT_EQ(scan.GetFiles(tree.path() + "/", "*.*"), (QStringList{"A.DOC", "b.doc", "c.Doc", "d.docx"}));
}

TEST_F(OnDisk, AFolderThatRefusesListingIsLeftOut) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
    tree.folder("open/x");
    tree.folder("closed/x");
    tree.mode("closed", 0);
    QStringList queue{tree.path() + "/"};
    scan.GetSubDirectories2016(queue, true);
    tree.mode("closed", 0755);
    const QString base = tree.path() + "/";
    EXPECT_EQ(queue, (QStringList{base, base + "open/", base + "open/x/"}));
    EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
