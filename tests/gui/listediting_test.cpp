// Removing rows and dragging them into order, with real key and mouse events.
#include <QGroupBox>
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
    // The left button goes down and up over the list. A button a test leaves
    // down is let go at its end: the next test's pointer must move freely.
    void press(const QPoint& at) {
        QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, at);
        m_pressed = true;
    }
    void release(const QPoint& at) {
        QTest::mouseRelease(viewport(), Qt::LeftButton, Qt::NoModifier, at);
        m_pressed = false;
    }
    void TearDown() override {
        if (m_pressed) release(QPoint(1, 1));
    }
    bool m_pressed = false;
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
    press(rowCentre(1));
    dragTo(rowCentre(2));
    EXPECT_EQ(rows(), (QStringList{"/P2", "/P1", "/P3"}));
    EXPECT_EQ(window->files().selectedRow(), 2);
    dragTo(rowCentre(3));
    EXPECT_EQ(rows(), (QStringList{"/P2", "/P3", "/P1"}));
    EXPECT_EQ(window->files().selectedRow(), 3);
    release(rowCentre(3));
    EXPECT_FALSE(window->listInteraction().mouseIsDown());
    EXPECT_EQ(window->listInteraction().listPointer().value(), MousePointer::Arrow);
    // Moving without a button held moves nothing.
    QTest::mouseMove(viewport(), rowCentre(1));
    EXPECT_EQ(rows(), (QStringList{"/P2", "/P3", "/P1"}));
}

TEST_F(ListEditing, AnIdenticalPathIsNeverPassed) {
    add({"/same", "/same", "/other"});
    press(rowCentre(1));
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
    press(empty);  // no row picked up
    dragTo(rowCentre(1));
    dragTo(rowCentre(2));
    EXPECT_EQ(rows(), (QStringList{"/a", "/b"}));
    release(empty);

    press(rowCentre(1));
    dragTo(empty);
    EXPECT_EQ(rows(), (QStringList{"/a", "/b"}));
}

TEST_F(ListEditing, ARemovedSourceRowCountsAsNone) {
    add({"/a", "/b", "/c"});
    QTest::mouseClick(viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(3));
    EXPECT_EQ(window->listInteraction().dragSourceRow(), 3);
    window->files().RemoveAt(3);
    EXPECT_EQ(window->listInteraction().dragSourceRow(), 0);
    press(QPoint(20, viewport()->height() - 5));
    dragTo(rowCentre(1));
    EXPECT_EQ(rows(), (QStringList{"/a", "/b"}));
}

TEST_F(ListEditing, DraggingAgainstTheEdgesShiftsEveryPassedRowByOnePlace) {
    QStringList names;
    for (int i = 1; i <= 16; ++i) names << QStringLiteral("/doc%1").arg(i, 3, 10, QLatin1Char('0'));
    for (const QString& name : names) window->files().AddFile(name);
    // The pointer rests in the last row, which the list shows only in part: each
    // move there scrolls the list on, by more than one row at a time.
    const QPoint bottom(20, viewport()->height() - 2);
    QTreeWidgetItem* partlyShown = window->ListView1->itemAt(bottom);
    ASSERT_NE(partlyShown, nullptr);
    ASSERT_GT(window->ListView1->visualItemRect(partlyShown).bottom(), viewport()->height());
    ASSERT_LT(window->ListView1->indexOfTopLevelItem(partlyShown), 12);  // far fewer rows shown than listed

    press(rowCentre(1));
    for (int step = 0; step < 20 && window->ListView1->itemAt(bottom); ++step) dragTo(bottom);
    // Scrolled to the end, the last row stands above an empty strip: on to it.
    dragTo(rowCentre(16));
    EXPECT_GT(window->ListView1->verticalScrollBar()->value(), 0);
    EXPECT_EQ(rows().join(' ').toStdString(), (names.mid(1) + QStringList{names[0]}).join(' ').toStdString());
    EXPECT_EQ(window->files().selectedRow(), 16);

    // Back up against the top edge: every row returns to its place.
    const QPoint top(20, 1);
    for (int step = 0; step < 40 && window->files().selectedRow() > 1; ++step) dragTo(top);
    EXPECT_EQ(window->ListView1->verticalScrollBar()->value(), 0);
    EXPECT_EQ(rows().join(' ').toStdString(), names.join(' ').toStdString());
    EXPECT_EQ(window->files().selectedRow(), 1);

    // A jump over several rows at once passes each of them, and an identical
    // path on the way is stepped over, not passed.
    window->files().SetFilePathAt(3, "/doc001");
    window->ListView1->scrollToTop();
    dragTo(rowCentre(5));
    EXPECT_EQ(rows().mid(0, 6).join(' ').toStdString(), "/doc002 /doc004 /doc001 /doc005 /doc001 /doc006");
    EXPECT_EQ(window->files().selectedRow(), 5);
}

TEST_F(ListEditing, ThePointerShowsTheHandOverButtonsUnlessTheHourglassShows) {
    QCursor hand(QPixmap(16, 16));
    window->pointer().setCustomImage(hand);
    // The pointer moves through the window system, as a real one does: the
    // widget below is entered, then moved over, and a move it ignores travels
    // on to its parents.
    auto moveOver = [&](QWidget* widget, QPoint at = {}) {
        if (at.isNull()) at = widget->rect().center();
        QTest::mouseMove(window->windowHandle(), widget->mapTo(window.get(), at));
    };
    for (QPushButton* button : {window->PushButton1, window->PushButton2, window->PushButton3, window->PushButton4,
                                window->PushButton8, window->PushButton9}) {
        moveOver(window->Text1);
        EXPECT_EQ(window->pointer().value(), MousePointer::Default);
        moveOver(button);
        EXPECT_EQ(window->pointer().value(), MousePointer::Custom) << button->text().toStdString();
        moveOver(button, QPoint(3, 3));  // moving on within the button
        EXPECT_EQ(window->pointer().value(), MousePointer::Custom) << button->text().toStdString();
        EXPECT_EQ(window->cursor().shape(), Qt::BitmapCursor);
    }
    moveOver(window->Frame1, QPoint(4, 4));
    EXPECT_EQ(window->pointer().value(), MousePointer::Default);
    moveOver(window->PushButton3);
    moveOver(window.get(), QPoint(3, 3));  // the window's own background
    EXPECT_EQ(window->pointer().value(), MousePointer::Default);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);

    window->pointer().set(MousePointer::Hourglass);
    moveOver(window->PushButton2);
    EXPECT_EQ(window->pointer().value(), MousePointer::Hourglass);
    moveOver(window.get(), QPoint(3, 3));
    EXPECT_EQ(window->pointer().value(), MousePointer::Hourglass);
    EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
}

}  // namespace
