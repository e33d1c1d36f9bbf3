// What the mouse and keys do to the file list and the window's pointers:
// removing rows (Delete, double-click, "Clear List"), dragging a row into
// another place, and the hand pointer over the buttons.
#pragma once

#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>

#include "MousePointer.h"

class QKeyEvent;
class QMouseEvent;
class QWidget;

namespace orvane {

class Dialogs;
class FileList;
class ListView;

class ListInteraction {
public:
    ListInteraction(ListView* list, FileList& files, MousePointer& windowPointer, Dialogs& dialogs,
                    QString programFolder);

    // Removing rows.
    void ListView1_KeyDown(int key, Qt::KeyboardModifiers shift);
    void ListView1_DblClick();
    void PushButton8_Click();

    // Dragging a row into another place.
    void ListView1_MouseDown();
    void ListView1_ItemClick();
    void ListView1_MouseMove(const QPoint& position);
    void ListView1_MouseUp();

    // Pointer feedback over the window's parts.
    void pointerOverButton();
    void pointerOverBackground();

    MousePointer& listPointer() { return m_listPointer; }
    bool mouseIsDown() const { return m_mouseIsDown; }
    // The row whose path travels with the pointer, 0 for none (also when it was removed).
    int dragSourceRow() const;

private:
    void removeSelectedRow();
    bool busy() const { return m_windowPointer.value() == MousePointer::Hourglass; }

    ListView* m_list;
    FileList& m_files;
    MousePointer& m_windowPointer;
    MousePointer m_listPointer;
    Dialogs& m_dialogs;
    QString m_programFolder;
    bool m_mouseIsDown = false;
    QPersistentModelIndex m_dragSourceRow;
};

}  // namespace orvane
