#include "ListInteraction.h"

#include <QScrollBar>

#include "ErrorReport.h"
#include "FileList.h"
#include "ListView.h"
#include "Paths.h"
#include "Startup.h"

namespace orvane {

ListInteraction::ListInteraction(ListView* list, FileList& files, MousePointer& windowPointer, Dialogs& dialogs,
                                 QString programFolder)
    : m_list(list),
      m_files(files),
      m_windowPointer(windowPointer),
      m_listPointer(list->viewport()),
      m_dialogs(dialogs),
      m_programFolder(std::move(programFolder)) {}

// ---------------------------------------------------------------------------
// Removing rows

void ListInteraction::removeSelectedRow() {
    if (busy()) return;
    if (m_files.FileCount() == 0) return;
    // Rows but none selected: nothing to remove.
    const int selected = m_files.selectedRow();
    if (selected == 0) return;
    m_files.RemoveAt(selected);
}

void ListInteraction::ListView1_KeyDown(int key, Qt::KeyboardModifiers) {
    // Delete, whatever Shift, Ctrl or Alt are held; Backspace is no Delete.
    if (key == Qt::Key_Delete) removeSelectedRow();
}

void ListInteraction::ListView1_DblClick() { removeSelectedRow(); }

void ListInteraction::PushButton8_Click() {
    ErrorTrap trap(m_dialogs, LocationTag::PushButton8Click);
    trap.line(100, [&] {
        if (!busy()) m_files.ClearFiles();
    });
}

// ---------------------------------------------------------------------------
// Dragging a row

int ListInteraction::dragSourceRow() const {
    // A persistent index goes invalid when its row is removed: then there is none.
    return m_dragSourceRow.isValid() ? m_dragSourceRow.row() + 1 : 0;
}

void ListInteraction::ListView1_MouseDown() { m_mouseIsDown = true; }

void ListInteraction::ListView1_ItemClick() {
    const QString dragIcon = m_programFolder + QStringLiteral("/drag.ico");
    if (PathExists(dragIcon)) {
        try {
            m_listPointer.setCustomImage(loadPointerImage(dragIcon));
        } catch (const Failure&) {
            // An unreadable image keeps the default pointer; the row is still picked up.
        }
    }
    m_listPointer.set(MousePointer::Custom);
    const int selected = m_files.selectedRow();
    m_dragSourceRow = selected ? QPersistentModelIndex(m_list->model()->index(selected - 1, 0)) : QPersistentModelIndex();
}

void ListInteraction::ListView1_MouseMove(const QPoint& position) {
    if (!busy()) m_windowPointer.set(MousePointer::Default);
    if (!m_mouseIsDown) return;
    QTreeWidgetItem* rowUnderPointer = m_list->itemAt(position);
    const int source = dragSourceRow();
    if (!rowUnderPointer || source == 0) return;
    const int target = m_list->indexOfTopLevelItem(rowUnderPointer) + 1;

    // The pointer may come to rest several rows away from the moving path: a
    // scroll step can bring more than one row past it, and a quick hand skips
    // rows. The path then travels through every row in between, as if the
    // pointer had entered each in turn, so each row it passes shifts by one place.
    const QString moving = m_files.FilePathAt(source);
    const int step = target > source ? 1 : -1;
    int at = source;
    for (int row = source + step; row != target + step; row += step) {
        const QString passed = m_files.FilePathAt(row);
        if (passed == moving) continue;  // an identical path is never passed
        m_files.SetFilePathAt(at, passed);
        m_files.SetFilePathAt(row, moving);
        at = row;
    }
    if (at == source) return;
    m_files.selectRow(at);
    m_dragSourceRow = QPersistentModelIndex(m_list->model()->index(at - 1, 0));

    // Near the list's top or bottom edge (within a row's height), bring the next
    // row in the direction of travel into view.
    const int rowHeight = qMax(1, m_list->visualItemRect(rowUnderPointer).height());
    const int viewportHeight = m_list->viewport()->height();
    if (position.y() < rowHeight && target > 1)
        m_list->scrollToItem(m_list->topLevelItem(target - 2));
    else if (position.y() >= viewportHeight - rowHeight && target < m_files.FileCount())
        m_list->scrollToItem(m_list->topLevelItem(target));
}

void ListInteraction::ListView1_MouseUp() {
    m_mouseIsDown = false;
    m_listPointer.set(MousePointer::Arrow);
}

// ---------------------------------------------------------------------------
// Pointer feedback: the hourglass of a run is left alone.

void ListInteraction::pointerOverButton() {
    if (!busy()) m_windowPointer.set(MousePointer::Custom);
}

void ListInteraction::pointerOverBackground() {
    if (!busy()) m_windowPointer.set(MousePointer::Default);
}

}  // namespace orvane
