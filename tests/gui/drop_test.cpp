// Drag and drop onto the list: which drags are refused, and the rows that
// dropped files and folders give, in order. The drops are real drop events
// sent to the window's list.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

#include "DropFiles.h"
#include "FileList.h"
#include "ScanFixtures.h"
#include "TestSupport.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

std::unique_ptr<QMimeData> filesData(const QStringList& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

class Drop : public SettingsFixture {
protected:
    std::unique_ptr<Form1> form;
    RealTree tree;

    void SetUp() override {
        SettingsFixture::SetUp();
        form = std::make_unique<Form1>(m_platform.make(builtProgramFolder()), m_dialogs);
        form->files().createColumn();
    }

    QWidget* target() const { return form->ListView1->viewport(); }

    // A drag that enters the list and moves over it: true when the list would take it.
    bool dragOver(const QMimeData* data) {
        const QPoint at(20, 20);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(target(), &enter);
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target(), &move);
        return enter.isAccepted() && move.isAccepted();
    }

    void drop(const QMimeData* data) {
        dragOver(data);
        QDropEvent event(QPointF(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target(), &event);
    }
    void dropFiles(const QStringList& paths) { drop(filesData(paths).get()); }

    QStringList rows() const {
        QStringList r;
        for (int i = 1; i <= form->files().FileCount(); ++i) r << form->files().FilePathAt(i);
        return r;
    }
};

TEST_F(Drop, RefusesAnythingButLocalFiles) {
    tree.file("a.doc");
    QMimeData text;
    text.setText(tree.at("a.doc"));
    EXPECT_FALSE(dragOver(&text));
    drop(&text);

    QMimeData web;
    web.setUrls({QUrl("https://example.org/a.doc")});
    EXPECT_FALSE(dragOver(&web));
    drop(&web);

    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile(tree.at("a.doc")), QUrl("sftp://host/b.doc")});
    EXPECT_FALSE(dragOver(&mixed));
    drop(&mixed);

    QMimeData none;
    none.setUrls({});
    EXPECT_FALSE(carriesLocalFiles(&none));
    EXPECT_FALSE(carriesLocalFiles(nullptr));
    EXPECT_EQ(form->files().FileCount(), 0);

    EXPECT_TRUE(dragOver(filesData({tree.at("a.doc")}).get()));
}

TEST_F(Drop, DroppedFilesAreAddedExactlyAsDroppedInTheirOrder) {
    tree.file("b.doc");
    tree.file("~a.doc");
    tree.file(".lock.doc");
    form->files().AddFile(tree.at("b.doc"));
    const QStringList dropped{tree.at("~a.doc"), tree.at("b.doc"), tree.at(".lock.doc"), tree.at("gone.doc")};
    dropFiles(dropped);
    EXPECT_EQ(rows(), QStringList{tree.at("b.doc")} + dropped);
    EXPECT_TRUE(m_dialogs.shown.empty());
}

TEST_F(Drop, ADroppedFolderGivesItsTreeWithoutTemporaryAndLockFiles) {
    const QString unicode = QStringLiteral("Ünïcode – ПРИВЕТ");
    tree.file("docs/b.odt");
    tree.file("docs/a.doc");
    tree.file("docs/~$a.doc");
    tree.file("docs/.~lock.a.doc#");  // a writable dot-file: 34
    tree.file("docs/.readonly");
    tree.mode("docs/.readonly", 0444);  // 35: kept
    tree.file("docs/" + unicode + "/c.rtf");
    tree.file("docs/sub/d.txt");
    tree.link(tree.at("docs"), "docs/sub/up");  // a link back up is not followed
    tree.folder("empty");

    dropFiles({tree.at("empty")});
    EXPECT_EQ(form->files().FileCount(), 0);

    // A folder dropped with a trailing "/" gives the same, normalised rows.
    dropFiles({tree.at("docs/")});
    const QString d = tree.at("docs");
    const QStringList expected{d + "/.readonly", d + "/a.doc", d + "/b.odt", d + "/sub/d.txt",
                               d + "/" + unicode + "/c.rtf"};
    EXPECT_EQ(rows(), expected);
}

TEST_F(Drop, AHiddenFolderDroppedByNameGivesItsDocuments) {
    tree.file("home/.config/app/notes.odt");
    tree.file("home/.config/app/.git/HEAD.doc");
    tree.file("home/.config/top.doc");
    tree.file("home/.cache/cached.doc");
    tree.file("home/letter.doc");
    dropFiles({tree.at("home/.config")});
    EXPECT_EQ(rows(), (QStringList{tree.at("home/.config/top.doc"), tree.at("home/.config/app/notes.odt")}));
    form->files().ClearFiles();
    dropFiles({tree.at("home")});
    EXPECT_EQ(rows(), QStringList{tree.at("home/letter.doc")});
}

TEST_F(Drop, TwoFoldersAndAFileComeInDropOrder) {
    tree.file("one/a.doc");
    tree.file("one/deep/b.doc");
    tree.file("two/c.doc");
    tree.file("loose.rtf");
    dropFiles({tree.at("two"), tree.at("loose.rtf"), tree.at("one")});
    EXPECT_EQ(rows(), (QStringList{tree.at("two/c.doc"), tree.at("loose.rtf"), tree.at("one/a.doc"),
                                   tree.at("one/deep/b.doc")}));
    // Dropping again adds every row a second time.
    dropFiles({tree.at("loose.rtf")});
    EXPECT_EQ(rows().count(tree.at("loose.rtf")), 2);
}

TEST(DropPaths, AreTheLocalPathsOfTheDrag) {
    auto data = filesData({"/a/b c.doc", QStringLiteral("/x/Ünïcode – ПРИВЕТ/y.doc")});
    EXPECT_EQ(droppedPaths(data.get()), (QStringList{"/a/b c.doc", QStringLiteral("/x/Ünïcode – ПРИВЕТ/y.doc")}));
    QMimeData uriList;
    uriList.setData("text/uri-list", "file:///tmp/a%20b.doc\r\nfile:///tmp/c.doc\r\n");
    EXPECT_EQ(droppedPaths(&uriList), (QStringList{"/tmp/a b.doc", "/tmp/c.doc"}));
}

}  // namespace
