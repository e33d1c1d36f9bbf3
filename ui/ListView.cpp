#include "ListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

namespace orvane {

ListView::ListView(QWidget* parent) : QTreeWidget(parent) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    setMouseTracking(true);
}

void ListView::keyPressEvent(QKeyEvent* event) {
    if (onKeyDown) onKeyDown(event);
    QTreeWidget::keyPressEvent(event);
}

void ListView::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    if (onMouseDown) onMouseDown(event);
}

void ListView::mouseMoveEvent(QMouseEvent* event) {
    // The rows move by the window's own rules, not by Qt's drag selection.
    if (onMouseMove) onMouseMove(event);
    else QTreeWidget::mouseMoveEvent(event);
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    if (onMouseUp) onMouseUp(event);
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    if (onDoubleClick) onDoubleClick(event);
}

void ListView::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptsDrop && acceptsDrop(event->mimeData())) event->acceptProposedAction();
    else event->ignore();
}

void ListView::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsDrop && acceptsDrop(event->mimeData())) event->acceptProposedAction();
    else event->ignore();
}

void ListView::dropEvent(QDropEvent* event) {
    if (!acceptsDrop || !acceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (onDrop) onDrop(event->mimeData());
}

}  // namespace orvane
