// Removing rows and dragging them into order, with real key and mouse events.
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "FileList.h"
#include "ListInteraction.h"
#include "TestSupport.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

class ListEditing : public SettingsFixture {
protected:
    std::unique_ptr<Form1> window;

    void SetUp() override {
        SettingsFixture::SetUp();
        window = std::make_unique<Form1>(m_platform.make(builtProgramFolder()), m_dialogs);
        window->files().createColumn();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void add(std::initializer_list<const char*> paths) {
        for (const char* p : paths) window->files().AddFile(QString::fromUtf8(p));
    }
    QStringList rows() const {
        QStringList r;
        for (int i = 1; i <= window->files().FileCount(); ++i) r << window->files().FilePathAt(i);
        return r;
    }
    QWidget* viewport() const { return window->ListView1->viewport(); }
    QPoint rowCentre(int position) const {
        return window->ListView1->visualItemRect(window->ListView1->topLevelItem(position - 1)).center();
    }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        window->ListView1->setFocus();
        QTest::keyClick(window->ListView1, Qt::Key(k), mods);
    }
    // A move with the left button held, as the list receives it.
    void dragTo(const QPoint& at) {
        QMouseEvent move(QEvent::MouseMove, at, viewport()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(viewport(), &move);
    }
};

TEST_F(ListEditing, DeleteRemovesTheSelectedRowWhateverTheShiftState) {
    add({"/p1", "/p2", "/p3", "/p4", "/p5"});
    window->files().selectRow(2);
    key(Qt::Key_Delete);
    EXPECT_EQ(rows(), (QStringList{"/p1", "/p3", "/p4", "/p5"}));
    window->files().selectRow(1);
    key(Qt::Key_Delete, Qt::ShiftModifier);
    window->files().selectRow(1);
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(rows(), (QStringList{"/p4", "/p5"}));
    window->files().selectRow(1);
    key(Qt::Key_Backspace);
    EXPECT_EQ(rows(), (QStringList{"/p4", "/p5"}));
}

TEST_F(ListEditing, DoubleClickRemovesTheRowAndNothingHappensOnAnEmptyList) {
    key(Qt::Key_Delete);
    QTest::mouseDClick(viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EQ(window->files().FileCount(), 0);
    add({"/a", "/b", "/c"});
    QTest::mouseDClick(viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(3));
    EXPECT_EQ(rows(), (QStringList{"/a", "/b"}));
    EXPECT_TRUE(m_dialogs.shown.empty());
}

TEST_F(ListEditing, RowsButNoSelectionRemoveNothing) {
    add({"/a", "/b"});
    window->ListView1->clearSelection();
    window->ListView1->setCurrentItem(nullptr);
    key(Qt::Key_Delete);
    EXPECT_EQ(rows(), (QStringList{"/a", "/b"}));
}

TEST_F(ListEditing, NothingIsRemovedWhileTheHourglassShows) {
    add({"/a", "/b", "/c"});
    window->files().selectRow(2);
    window->pointer().set(MousePointer::Hourglass);
    key(Qt::Key_Delete);
    QTest::mouseDClick(viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(2));
    QTest::mouseClick(window->PushButton8, Qt::LeftButton);
    EXPECT_EQ(rows(), (QStringList{"/a", "/b", "/c"}));
    window->pointer().set(MousePointer::Default);
    window->Text1->setText("/out/");
    window->ProgressBar1->setValue(40);
    QTest::mouseClick(window->PushButton8, Qt::LeftButton);
    EXPECT_EQ(window->files().FileCount(), 0);
    EXPECT_EQ(window->Text1->text(), "/out/");
    EXPECT_EQ(window->ProgressBar1->value(), 40);
    EXPECT_TRUE(m_dialogs.shown.empty());
}

TEST_F(ListEditing, DraggingTheFirstRowDownCarriesItsPathAlong) {
    add({"/P1", "/P2", "/P3"});
    QTest::mouseClick(viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    dragTo(rowCentre(2));
    EXPECT_EQ(rows(), (QStringList{"/P2", "/P1", "/P3"}));
    EXPECT_EQ(window->files().selectedRow(), 2);
    dragTo(rowCentre(3));
    EXPECT_EQ(rows(), (QStringList{"/P2", "/P3", "/P1"}));
    EXPECT_EQ(window->files().selectedRow(), 3);
    QTest::mouseRelease(viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(3));
    EXPECT_FALSE(window->listInteraction().mouseIsDown());
    EXPECT_EQ(window->listInteraction().listPointer().value(), MousePointer::Arrow);
    // Moving without a button held moves nothing.
    QTest::mouseMove(viewport(), rowCentre(1));
    EXPECT_EQ(rows(), (QStringList{"/P2", "/P3", "/P1"}));
}

TEST_F(ListEditing, AnIdenticalPathIsNeverPassed) {
    add({"/same", "/same", "/other"});
    QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    dragTo(rowCentre(2));
    EXPECT_EQ(rows(), (QStringList{"/same", "/same", "/other"}));
    EXPECT_EQ(window->listInteraction().dragSourceRow(), 1);  // still the first row
    dragTo(rowCentre(3));
    EXPECT_EQ(rows(), (QStringList{"/other", "/same", "/same"}));
    EXPECT_EQ(window->listInteraction().dragSourceRow(), 3);
}

TEST_F(ListEditing, MovesBeforeAnyRowClickOrBelowTheLastRowChangeNothing) {
    add({"/a", "/b"});
    const QPoint empty(20, viewport()->height() - 5);
    ASSERT_EQ(window->ListView1->itemAt(empty), nullptr);
    QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, empty);  // no row picked up
    dragTo(rowCentre(1));
    dragTo(rowCentre(2));
    EXPECT_EQ(rows(), (QStringList{"/a", "/b"}));
    QTest::mouseRelease(viewport(), Qt::LeftButton, Qt::NoModifier, empty);

    QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    dragTo(empty);
    EXPECT_EQ(rows(), (QStringList{"/a", "/b"}));
}

TEST_F(ListEditing, ARemovedSourceRowCountsAsNone) {
    add({"/a", "/b", "/c"});
    QTest::mouseClick(viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(3));
    EXPECT_EQ(window->listInteraction().dragSourceRow(), 3);
    window->files().RemoveAt(3);
    EXPECT_EQ(window->listInteraction().dragSourceRow(), 0);
    QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, viewport()->height() - 5));
    dragTo(rowCentre(1));
    EXPECT_EQ(rows(), (QStringList{"/a", "/b"}));
}

TEST_F(ListEditing, DraggingNearTheBottomEdgeScrollsTheList) {
    for (int i = 1; i <= 40; ++i) window->files().AddFile(QStringLiteral("/row%1").arg(i));
    QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    int position = 1;
    // Keep dragging over the bottom visible row: each step brings the next into view.
    for (int step = 0; step < 15; ++step) {
        const QRect last = window->ListView1->visualItemRect(window->ListView1->itemAt(QPoint(20, viewport()->height() - 3)));
        dragTo(QPoint(20, last.center().y()));
        position = window->files().selectedRow();
    }
    EXPECT_GT(position, 12);  // more rows than fit the list: it scrolled
    EXPECT_EQ(window->files().FilePathAt(position), "/row1");
    EXPECT_GT(window->ListView1->verticalScrollBar()->value(), 0);
}

TEST_F(ListEditing, ThePointerShowsTheHandOverButtonsUnlessTheHourglassShows) {
    QCursor hand(QPixmap(16, 16));
    window->pointer().setCustomImage(hand);
    QTest::mouseMove(window->PushButton4, QPoint(5, 5));
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(window->PushButton4, &enter);
    EXPECT_EQ(window->pointer().value(), MousePointer::Custom);
    QApplication::sendEvent(window->Text1, &enter);
    EXPECT_EQ(window->pointer().value(), MousePointer::Default);

    window->pointer().set(MousePointer::Hourglass);
    QApplication::sendEvent(window->PushButton2, &enter);
    EXPECT_EQ(window->pointer().value(), MousePointer::Hourglass);
    QTest::mouseMove(window.get(), QPoint(3, 3));
    EXPECT_EQ(window->pointer().value(), MousePointer::Hourglass);
    EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
}

}  // namespace
